#pragma once
// Every number the user reads goes through these functions. They never consult the process
// locale or the C runtime's printf, so the text is the same on every platform.

#include <cstdint>
#include <string>

#include "core/text_pair.h"

// "%.*f" with '.' as separator and no grouping; Russian turns every '.' into ','.
// A negative number of decimals counts as 0.
std::wstring FormatDecimal(double value, int decimals, Language language);

// As FormatDecimal with "%+.*f": the sign is always written (+0.0, -0.0).
std::wstring FormatSignedDecimal(double value, int decimals, Language language);

// The byte count in units of 2^30, formatted by FormatDecimal; the caller adds the unit.
std::wstring FormatGibibytes(std::uint64_t bytes, int decimals, Language language);

// Plain decimal digits without separator or sign rule (counts inside texts).
std::wstring FormatCount(std::uint64_t value);

// a * b / c with a 64-bit intermediate, rounded to the nearest integer with halves away
// from zero. Like the platform's MulDiv it answers -1 for c == 0 or a result outside int.
int MulDivRound(int a, int b, int c);

// A length given for 96 DPI, at the given DPI.
inline int ScaleForDpi(int length, int dpi) { return MulDivRound(length, dpi, 96); }
