#include "presentation/control_texts.h"

std::vector<ControlText> BuiltInControlTexts() {
    return {
        {ControlId::Subtitle,
         {L"Сравнение результатов NVIDIA CUDA и DirectML",
          L"NVIDIA CUDA and DirectML benchmark comparison"}},
        {ControlId::TargetLabel, {L"Тестируемая видеокарта", L"Graphics card under test"}},
        {ControlId::ReferenceLabel, {L"Эталон", L"Reference"}},
        {ControlId::FilterLabel, {L"Показать на графиках", L"Show on charts"}},
        {ControlId::RunButton, {L"Запустить тест", L"Run benchmark"}},
        {ControlId::ConfigurationLabel,
         {L"8192 x 8192   \u00B7   FP16   \u00B7   20 прогревочных операций   \u00B7   "
          L"5 серий по 50 умножений",
          L"8192 x 8192   |   FP16   |   20 warm-up multiplications   |   "
          L"5 series of 50 multiplications"}},
        {ControlId::CudaButton, {L"Компоненты CUDA...", L"CUDA components..."}},
        {ControlId::PerformanceChart, {L"Производительность", L"Performance"}},
        {ControlId::TimeChart, {L"Время одного умножения", L"Time per multiplication"}},
    };
}

TextPair IdleStatusText() { return {L"Готово к запуску", L"Ready to run"}; }
