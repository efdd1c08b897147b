#include "presentation/selection_lists.h"

#include <cstdint>

#include "presentation/number_format.h"
#include "presentation/reference.h"
#include "presentation/target_name.h"

namespace {

const wchar_t* Pick(Language language, const wchar_t* ru, const wchar_t* en) {
    return language == Language::English ? en : ru;
}

constexpr std::uint64_t kWholeGibibyteMask = (std::uint64_t{1} << 30) - 1;

std::wstring TargetItem(const GpuTarget& target, Language language) {
    const bool directMl = target.backend == BackendKind::DirectMl;
    std::wstring item = FormatTargetName(target, language);
    item += directMl ? L" \u00B7 DirectML" : L" \u00B7 cuBLAS";
    if (target.dedicatedMemoryBytes != 0) {
        const int decimals = (target.dedicatedMemoryBytes & kWholeGibibyteMask) != 0 ? 1 : 0;
        item += L" \u00B7 ";
        item += FormatGibibytes(target.dedicatedMemoryBytes, decimals, language);
        item += Pick(language, L" ГиБ", L" GiB");
    }
    if (directMl && target.sharedMemoryBytes != 0) {
        item += L" + ";
        item += FormatGibibytes(target.sharedMemoryBytes, 0, language);
        item += Pick(language, L" ГиБ общей", L" GiB shared");
    }
    return item;
}

}  // namespace

const GpuTarget* SelectedTarget(std::span<const GpuTarget> targets, int targetIndex) {
    if (targetIndex < 0 || static_cast<std::size_t>(targetIndex) >= targets.size()) return nullptr;
    return &targets[static_cast<std::size_t>(targetIndex)];
}

std::vector<std::wstring> TargetListItems(std::span<const GpuTarget> targets, Language language) {
    std::vector<std::wstring> items;
    for (const GpuTarget& target : targets) items.push_back(TargetItem(target, language));
    if (items.empty()) {
        items.emplace_back(
            Pick(language, L"Совместимые видеокарты не найдены", L"No compatible graphics cards found"));
    }
    return items;
}

std::vector<std::wstring> ReferenceListItems(Language language) {
    std::vector<std::wstring> items{Pick(language, L"Без эталона", L"No reference")};
    for (const ReferenceMeasurement& row : kReferenceMeasurements) items.emplace_back(row.name);
    return items;
}

ChartFilterList DecideChartFilterList(int referenceIndex, int requestedFilterIndex, Language language) {
    const wchar_t* before = Pick(language, L"До снятия ограничений", L"Before removing limits");
    const ReferenceMeasurement* reference = SelectedReference(referenceIndex);
    if (reference != nullptr && !reference->hasAfter) return {{before}, 0, false};

    ChartFilterList list;
    list.items = {Pick(language, L"Оба замера", L"Both measurements"), before,
                  Pick(language, L"После снятия ограничений", L"After removing limits")};
    // An index the list does not have (negative, or past its end) selects the first item.
    const bool inList = requestedFilterIndex >= 0 &&
                        static_cast<std::size_t>(requestedFilterIndex) < list.items.size();
    list.selectedIndex = inList ? requestedFilterIndex : 0;
    list.enabled = reference != nullptr;
    return list;
}
