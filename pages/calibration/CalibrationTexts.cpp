// The calibration page's step texts, picture lines and maximum voltage parsing.
#include "CalibrationTexts.h"

#include "Helpers.h"

QString StepInstruction(int step, uint16_t maxVoltage) {
    switch (step) {
    case 0:
        return QStringLiteral("Установите генератор напряжения в положение 0 вольт и нажмите кнопку \"Далее\"");
    case 1:
        return QStringLiteral("Установите генератор напряжения в положение %1 вольт и нажмите кнопку \"Далее\"")
            .arg(static_cast<uint>(maxVoltage));
    default:
        return QStringLiteral(
            "Для вычисления поправочных коэффициентов и завершения калибровки нажмите кнопку \"Далее\"");
    }
}

QStringList InstructionPictureLines() {
    return {
        QStringLiteral("Процесс калибрации настраивает измерители напряжения каждого из каналов."),
        QStringLiteral("Для калибрации :"),
        QStringLiteral("1. Выберете каналы"),
        QStringLiteral("2. Установите требуемое программой напряжение и нажмите кнопку \"Далее\""),
        QStringLiteral("3. Повторяйте пункт 2 пока программа не сообщит об окончании калибрации"),
        QStringLiteral("4. Если хотите повторить измерение нажмите кнопку \"Назад\""),
    };
}

std::optional<uint16_t> ParseMaxVoltage(const QString& text) {
    if (!IsDecimalText(text))
        return std::nullopt;
    uint32_t value = 0; // a number too large for 32 bits counts as 0
    if (!ParseUnsigned(&value, text))
        return 0;
    return static_cast<uint16_t>(value & 0xFFFF);
}
