// The line settings exchanges: each read must bring its whole block; each step stops the sequence on failure.
#include "LineSettingsFlow.h"

#include "BoardModels.h"
#include "LineRequests.h"
#include "Settings.h"

namespace {

const QString kAonEntry = QStringLiteral("AON_ENABLED");
const QString kBeepEntry = QStringLiteral("BEEP_ENABLED");

} // namespace

QString LineSection(int line) { return QStringLiteral("CFG\\LINE%1").arg(line); }

void RestoreLineSwitches(CDevice& device, int32_t boardIndex, int line) {
    auto settings = GetLineSettings(device);
    if (!settings)
        return;
    const QString section = LineSection(line);
    settings->Set(LineSettings::kAonEnableOffset,
                  static_cast<uint16_t>(ReadBoardInt(boardIndex, section, kAonEntry, 1)));
    settings->Set(LineSettings::kBeepEnableOffset,
                  static_cast<uint16_t>(ReadBoardInt(boardIndex, section, kBeepEntry, 0)));
    SetLineSettings(device, *settings); // the board keeps its old switches if it refuses: nothing to report
}

QString RunLineSettings(CDevice& device, uint16_t boardType, int32_t boardIndex, int line,
                        const LineSettingsEditor& edit) {
    auto settings = GetLineSettings(device);
    if (!settings)
        return QStringLiteral("Can not get phone line state");
    auto levels = GetLineLevels(device);
    if (!levels)
        return QStringLiteral("Can not get phone line att state");
    int32_t power = 1;
    if (!edit(*settings, *levels, power))
        return {};
    if (!SetLineSettings(device, *settings))
        return QStringLiteral("Can not set phone line state");
    if (!SetLineLevels(device, *levels))
        return QStringLiteral("Can not set phone line att state");
    const QString section = LineSection(line);
    WriteBoardInt(boardIndex, section, kAonEntry, settings->At(LineSettings::kAonEnableOffset));
    WriteBoardInt(boardIndex, section, kBeepEntry, settings->At(LineSettings::kBeepEnableOffset));
    if (BoardModelFor(boardType).fixedInterfacePower)
        return {};
    if (!SetInterfacePower(device, power != 0))
        return QStringLiteral("Can not set phone interface power");
    return {};
}
