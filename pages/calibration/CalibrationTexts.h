// The calibration page's texts that depend on the step, the instruction picture's lines and reading the
// maximum voltage field.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// The instruction box text of a wizard step (0 zero point, 1 full scale, 2 finish).
QString StepInstruction(int step, uint16_t maxVoltage);

// The fixed instruction lines shown in the picture, top to bottom.
QStringList InstructionPictureLines();

// The maximum voltage field's text as the board takes it: decimal digits only, not empty (otherwise
// null); a number too large for 32 bits counts as 0, and the low 16 bits are kept.
std::optional<uint16_t> ParseMaxVoltage(const QString& text);
