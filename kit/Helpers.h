// Small routines the pages share: choosing a file, play-time text, and number texts typed by the user.
#pragma once

#include <QString>

#include <cstdint>

class QLineEdit;
class QWidget;

// Shows the open or save dialog with the text-file or sound-file filter. On confirmation puts the path
// into `target` and/or `result` (either may be null) and returns true; on cancel changes nothing.
bool ChooseFile(QWidget* owner, bool open, QLineEdit* target, QString* result, bool textFiles);

// "%02d:%02d:%02d:%02d" hours:minutes:seconds:hundredths of `bytes` of 16-bit mono samples at `rate`
// samples per second; hours are not limited. A rate below 100 shows as zero time.
QString FormatPlayTime(uint32_t bytes, uint32_t rate);

// Digits only (no sign, no spaces), not empty.
bool IsDecimalText(const QString& text);
// "0x" or "0X" and at least one hexadecimal digit.
bool IsHexText(const QString& text);

// True for a decimal text whose value fits 32 bits unsigned; the value goes to `result` if given.
bool ParseUnsigned(uint32_t* result, const QString& text);
// True for a decimal text whose value fits a signed 32-bit number; the value goes to `result` if given.
// An invalid or too-large text leaves `result` untouched.
bool ParseDecimal(int32_t* result, const QString& text);
// True for a hexadecimal text whose value fits 32 bits; the value goes to `result` if given.
bool ParseHex(uint32_t* result, const QString& text);
