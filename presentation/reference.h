#pragma once
// The built-in reference measurements, which of them the charts show, and the comparison
// line under the status line.

#include <array>
#include <cstdint>
#include <string>

#include "core/text_pair.h"

struct ReferenceMeasurement {
    const wchar_t* name;       // item of the reference list
    const wchar_t* chartName;  // card name in the charts' reference strip
    const wchar_t* detail;     // card, system and software; shown in the comparison line
    double msBefore;
    double tflopsBefore;
    double msAfter;      // 0.0 without an after measurement
    double tflopsAfter;  // 0.0 without an after measurement
    bool hasAfter;
    bool msFromTflops;  // times derived as 2^40 / (TFLOPS * 10^9), not measured
};

inline constexpr std::array<ReferenceMeasurement, 5> kReferenceMeasurements = {{
    {L"Palit GeForce RTX 4060 (Dual OC)", L"Palit GeForce RTX 4060",
     L"RTX 4060 \u00B7 Gentoo \u00B7 PyTorch 2.12.1 / CUDA 13.0", 32.66, 33.66, 19.32, 56.92, true,
     false},
    {L"ASUS GeForce RTX 5070 Ti Laptop GPU", L"ASUS GeForce RTX 5070 Ti Laptop GPU",
     L"RTX 5070 Ti Laptop GPU \u00B7 Windows \u00B7 CUDA 13.5", 20.84, 52.77, 0.0, 0.0, false, false},
    {L"ASUS GeForce RTX 4080 SUPER", L"ASUS GeForce RTX 4080 SUPER",
     L"RTX 4080 SUPER \u00B7 Windows \u00B7 CUDA 13.4", 10.52, 104.47, 6.99, 157.4, true, false},
    {L"Palit GeForce RTX 5080", L"Palit GeForce RTX 5080",
     L"RTX 5080 \u00B7 Windows \u00B7 Mivaro 1.17", 9.14, 120.31, 0.0, 0.0, false, false},
    {L"Palit GeForce RTX 4090", L"Palit GeForce RTX 4090", L"RTX 4090 \u00B7 Windows \u00B7 cuBLAS",
     6.893489829316614, 159.5, 6.467715457505882, 170.0, true, true},
}};

// Selection index of the "Show on charts" list.
enum class ChartFilter : std::int32_t { Both = 0, BeforeOnly = 1, AfterOnly = 2 };

// The reference row of a reference-list index (0 is "No reference"); null when none.
const ReferenceMeasurement* SelectedReference(int referenceIndex);

// Display rules for a row and the raw filter-list index.
bool ReferenceShowsBefore(const ReferenceMeasurement& reference, int filterIndex);
bool ReferenceShowsAfter(const ReferenceMeasurement& reference, int filterIndex);

// Percentage by which a throughput exceeds a baseline (negative when slower), before rounding;
// the comparison line shows it rounded.
double ComparisonPercent(double tflops, double baselineTflops);

// The comparison line for the current selections; empty without a reference row.
// resultTflops is read only when hasResult is true.
std::wstring BuildComparisonLine(int referenceIndex, int filterIndex, bool hasResult,
                                 double resultTflops, Language language);
