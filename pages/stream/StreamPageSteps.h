// Steps the two streaming pages share: reading a number field for a Start, preparing an output's source,
// and applying a channel's attenuation (or gain) slider to its device.
#pragma once

#include "StreamBlocks.h"

#include <cstdint>
#include <optional>

class CDevice;
class CLevelMeter;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QWidget;
struct StreamChannel;

// Reads an unsigned number and writes it back in its plain form; shows `message` when there is none.
bool ReadNumberField(QWidget* owner, QLineEdit* field, const char* message, uint32_t* value);

// Makes an output channel's source ready for a Start at `rate`: the sine from its frequency and amplitude
// fields, or the file rewound to its first sample. Shows the message of the step that fails.
bool PrepareOutputSource(QWidget* owner, StreamChannel& channel, uint32_t rate, QLineEdit* frequency,
                         QLineEdit* amplitude);

// The slider's place and range as the device's value, and back: the slider's top is the range's top.
struct SliderRange {
    int16_t max = 0;
    int16_t min = 0;
};
// Sends the value the slider shows with `mute`, reads back what the device took and puts that on the
// slider and the mute button. Null when the read-back failed (the controls then keep what they show).
std::optional<AttenuationBlock> ApplySlider(CDevice& device, bool secondSet, SliderRange range, int32_t mute,
                                            QSlider* slider, QPushButton* muteButton);

// Puts a device's attenuation (or gain) reply on the slider: its range and the value's place, top = max,
// without counting as a slider move.
void PlaceSlider(QSlider* slider, const AttenuationBlock& reply);

// Shows a pass's counters: the level on the meter (when there is one) and as a number, the byte count and
// its play time at `rate`.
void ShowCounters(const StreamCounters& counters, int32_t rate, CLevelMeter* meter, QLabel* level, QLabel* count,
                  QLabel* time);
