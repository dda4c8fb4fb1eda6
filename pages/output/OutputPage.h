// COutputPage: the stereo output page. Two channels (left, right), each playing a sound file or a sine
// tone through its own streaming device, with attenuation, mute, live DMA figures and a level meter; a
// routing grid chooses which input each output carries.
#pragma once

#include "StreamPage.h"

#include <cstdint>

class CGridBox;
class QCheckBox;
class QWidget;

class COutputPage : public CStreamPage {
    Q_OBJECT
public:
    static constexpr int kLeft = 0;
    static constexpr int kRight = 1;
    static constexpr int32_t kDefaultWorkMode = 10;
    static constexpr int32_t kInitialRate = 16000;

    COutputPage(uint32_t type, int32_t board, CDevice* cfg, CDevice* left, CDevice* right, QWidget* parent = nullptr);
    ~COutputPage() override;

    bool OnInitDialog() override;

    // The page's operations, as the buttons, the slider and the grid start them.
    void Start(int channel);
    void SelectFile(int channel);
    void SourceToggled(int channel) { TakeSource(channel); }
    void WorkModeChanged(int row);

    int32_t WorkMode() const { return m_workMode; }

protected:
    // Resets the channel's attenuation and sets its rate to kInitialRate.
    bool OpenChannel(int channel) override;
    void SaveSettings() override;
    QString WorkerName(int channel) const override;
    std::string SliderText(int16_t value, int16_t max) const override;

private:
    void BuildControls();
    CChannelGroup* BuildChannel(int channel, const QString& title, const char* prefix);

    uint32_t m_type;
    int32_t m_workMode = kDefaultWorkMode;
    CGridBox* m_grid = nullptr;
    QWidget* m_gridPlace = nullptr;
    QCheckBox* m_stereo = nullptr;
};
