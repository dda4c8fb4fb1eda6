// The shared steps of the streaming pages.
#include "StreamPageSteps.h"

#include "Helpers.h"
#include "LevelMeter.h"
#include "Prompts.h"
#include "StreamChannel.h"
#include "StreamRequests.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

bool ReadNumberField(QWidget* owner, QLineEdit* field, const char* message, uint32_t* value) {
    if (!ParseUnsigned(value, field->text())) {
        ShowError(owner, QLatin1String(message));
        return false;
    }
    field->setText(QString::number(*value));
    return true;
}

bool PrepareOutputSource(QWidget* owner, StreamChannel& channel, uint32_t rate, QLineEdit* frequency,
                         QLineEdit* amplitude) {
    if (channel.source.load(std::memory_order_relaxed) == StreamChannel::kSourceSine) {
        uint32_t hertz = 0;
        uint32_t peak = 0;
        if (!ReadNumberField(owner, frequency, "Cann't get sinuse freq", &hertz) ||
            !ReadNumberField(owner, amplitude, "Cann't get sinuse amplitude", &peak))
            return false;
        bool ready = false;
        {
            std::lock_guard lock(channel.sourceMutex);
            ready = channel.sine.Init(rate, peak, hertz); // refuses 0 Hz as well
        }
        if (!ready)
            ShowError(owner, QStringLiteral("Cann't initialize sinuse generator"));
        return ready;
    }
    if (!channel.file.IsOpen()) {
        ShowError(owner, QStringLiteral("Cann't open trn file"));
        return false;
    }
    if (!channel.file.Rewind()) {
        ShowError(owner, QStringLiteral("Cann't reset sound data counter"));
        return false;
    }
    return true;
}

std::optional<AttenuationBlock> ApplySlider(CDevice& device, bool secondSet, SliderRange range, int32_t mute,
                                            QSlider* slider, QPushButton* muteButton) {
    AttenuationBlock block;
    block.value = static_cast<int16_t>(range.max - slider->value() + range.min);
    block.mute = static_cast<int16_t>(mute);
    // The range words are the device's to report: a move sends value and mute, every other word zero.
    SetAttenuation(device, secondSet, block); // a refused set shows in the get that follows
    const auto now = GetAttenuation(device, secondSet);
    if (!now)
        return std::nullopt;
    const QSignalBlocker sliderBlocker(slider);
    const QSignalBlocker muteBlocker(muteButton);
    slider->setValue(range.max - now->value + range.min);
    muteButton->setChecked(now->mute != 0);
    return now;
}

void PlaceSlider(QSlider* slider, const AttenuationBlock& reply) {
    const QSignalBlocker blocker(slider);
    slider->setRange(reply.min, reply.max);
    slider->setValue(reply.max + reply.min - reply.value);
}

void ShowCounters(const StreamCounters& counters, int32_t rate, CLevelMeter* meter, QLabel* level, QLabel* count,
                  QLabel* time) {
    if (meter)
        meter->SetPos(counters.level);
    level->setText(QString::number(counters.level));
    count->setText(QString::number(counters.bytes));
    time->setText(FormatPlayTime(counters.bytes, static_cast<uint32_t>(rate)));
}
