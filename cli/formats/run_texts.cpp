#include "cli/formats/run_texts.h"

#include <span>

#include "core/utf8.h"
#include "dml/adapter_discovery.h"
#include "presentation/number_format.h"
#include "presentation/run_status.h"
#include "presentation/selection_lists.h"

namespace cli {

std::wstring CardItemText(const GpuTarget& target, Language language) {
    return TargetListItems(std::span(&target, 1), language).front();
}

TextPair OutcomeText(const RunRecord& run) {
    switch (run.status) {
        case RunStatus::Completed: return CompletedStatus();
        case RunStatus::Interrupted: return StoppedStatus();
        case RunStatus::Error: return BenchmarkErrorStatus(run.errorText);
        case RunStatus::NoCompatibleGpu: return run.discoveryStatus;
        case RunStatus::TargetNotReady:
            if (run.cards.empty()) return {};
            return gemm::DirectMlSelectionMessage(run.cards.front().target.directMlStatus).value_or(TextPair{});
        case RunStatus::TargetOutOfRange: {
            // Usage errors are in English in both languages.
            const std::size_t count = run.cardsFound;
            const std::string text =
                "--target " + std::to_string(run.requestedTarget.value_or(0)) + ": there " +
                (count == 1 ? std::string("is 1 card, numbered 0")
                            : "are " + std::to_string(count) + " cards, numbered 0 to " + std::to_string(count - 1)) +
                " (see 'mivaro-cli list')";
            const std::wstring wide = Utf8ToWide(text);
            return {wide, wide};
        }
    }
    return {};
}

TextPair VerdictText(Verdict verdict) {
    switch (verdict) {
        case Verdict::Ok: return {L"в норме", L"ok"};
        case Verdict::Slow: return {L"медленная", L"slow"};
        case Verdict::Throttled: return {L"частота снижалась", L"throttled"};
        case Verdict::Failed: return {L"ошибка", L"failed"};
    }
    return {};
}

TextPair UnfinishedCardText(RunStatus status) {
    return status == RunStatus::Interrupted ? TextPair{L"остановлена", L"interrupted"}
                                            : TextPair{L"не готова", L"not ready"};
}

TextPair CardVerdictText(const CardRecord& card) {
    if (!card.verdict) return UnfinishedCardText(card.status);
    TextPair text = VerdictText(card.verdict->verdict);
    if (card.verdict->slow && card.verdict->slowdownReasons != 0) {
        const TextPair throttled = VerdictText(Verdict::Throttled);
        text = {text.ru + L", " + throttled.ru, text.en + L", " + throttled.en};
    }
    return text;
}

std::wstring VerdictDetail(const CardVerdict& verdict, double medianMs, const std::string& errorText,
                           Language language) {
    const bool en = language == Language::English;
    if (verdict.verdict == Verdict::Failed) return Utf8ToWide(errorText);
    std::wstring detail;
    if (verdict.slow) {
        const std::wstring ms = en ? L" ms" : L" мс";
        const std::wstring percent = FormatDecimal(PercentAboveModel(medianMs, verdict.modelMedianMs), 1, language);
        detail = FormatDecimal(medianMs, 2, language) + ms + (en ? L", " : L", на ") + percent +
                 (en ? L"% above the median of its model (" : L"% выше медианы своей модели (") +
                 FormatDecimal(verdict.modelMedianMs, 2, language) + ms + L")";
    }
    if (verdict.slowdownReasons != 0) {
        if (verdict.slow) detail += en ? L"; throttled: " : L"; частота снижалась: ";
        const std::vector<std::string> names = ClockEventReasonNames(verdict.slowdownReasons);
        for (std::size_t i = 0; i < names.size(); ++i) detail += (i ? L", " : L"") + Utf8ToWide(names[i]);
    }
    return detail;
}

TextPair ClocksUnavailableText(const ClockRecord& clocks, const std::string& pciBusId) {
    const std::wstring busId = Utf8ToWide(pciBusId);
    const std::wstring code = std::to_wstring(clocks.nvmlReturnCode);
    switch (clocks.unavailable) {
        case ClocksUnavailable::None: return {};
        case ClocksUnavailable::NotReached:
            return {L"тест не дошёл до видеокарты", L"the run never reached the card"};
        case ClocksUnavailable::NotNvidia:
            return {L"NVML измеряет только видеокарты NVIDIA", L"NVML covers NVIDIA cards only"};
        case ClocksUnavailable::BusIdUnknown:
            return {L"PCI-адрес видеокарты неизвестен", L"the card's PCI bus id is unknown"};
        case ClocksUnavailable::NvmlMissing:
            return {L"библиотека NVML недоступна", L"the NVML library is unavailable"};
        case ClocksUnavailable::NvmlInitFailed:
            return {L"NVML не инициализирован (код " + code + L")",
                    L"NVML could not be initialised (code " + code + L")"};
        case ClocksUnavailable::NvmlDeviceNotFound:
            return {L"NVML не знает устройства с PCI-адресом " + busId, L"NVML has no device with PCI bus id " + busId};
    }
    return {};
}

}  // namespace cli
