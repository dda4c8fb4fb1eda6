// CChannelGroup: the controls of one streaming channel in their group box: file, sine fields, rate,
// slider with its value, Mute, Start and Stop, the counters, two buffer figures and the level meter.
// A page describes its texts and names in a ChannelLook and adds the controls only it has.
#pragma once

#include <QGroupBox>
#include <QString>

#include <array>
#include <vector>

class CLevelMeter;
class QGridLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSlider;

// One live figure: its object name after the prefix, the caption before it, the name it is read by, the
// longest text it shows, and the form columns its caption and value take.
struct FigureLook {
    const char* name = "";
    QString caption;
    QString spoken;
    QString longest;
    int captionSpan = 1;
    int valueSpan = 3;
};

// What sets one page's channel group apart: every text, object name (after `prefix`) and accessible name
// (after `title`).
struct ChannelLook {
    QString title;
    QString prefix;
    QString fileSpoken;
    bool sine = false; // a playing channel: the Sin button with frequency and amplitude
    QString amplCaption;
    QString rateCaption;
    QString rateSpoken;
    QString sliderCaption; // above the value; none when empty
    QString sliderSpoken;
    FigureLook value; // the slider's value in dB
    QString muteText;
    FigureLook count;
    FigureLook time;
    QString timeZero;
    bool totals = false;        // the total count and time of the file played
    bool slashedTotals = false; // "/" between current and total, else a "Current"/"Total" heading
    QString totalCountSpoken;
    QString totalTimeSpoken;
    std::array<FigureLook, 2> buffer; // the buffer's length and its free space
    bool peak = false;                // the free space's lowest since Reset after a slash
    QString progressSpoken;
    QString meterSpoken;
    QString levelSpoken;
};

class CChannelGroup : public QGroupBox {
    Q_OBJECT
public:
    // Makes the shared controls; the page adds its own (as children of the group) before LayOut.
    CChannelGroup(const ChannelLook& look, QWidget* parent);

    // What the page adds to the form: a row of two controls under the file row, a control after the
    // second buffer figure, a button after Mute.
    struct Extras {
        QWidget* optionLeft = nullptr;
        QWidget* optionRight = nullptr;
        QWidget* besideBuffer = nullptr;
        QWidget* button = nullptr;
    };
    void LayOut(const Extras& extras);
    // Controls that, like the rate and the source, only change while the channel is stopped.
    void AddIdleControl(QWidget* control) { m_idle.push_back(control); }
    void SetRunning(bool running);
    // Makes the level meter over the progress bar; false when it cannot take it.
    bool AttachMeter();
    // The buffer's length and free space (with its peak when the look shows it).
    void ShowBuffer(uint32_t length, uint32_t space, uint32_t peak);

    const ChannelLook& Look() const { return m_look; }
    // An object name with the group's prefix.
    QString Name(const char* suffix) const { return m_look.prefix + QLatin1String(suffix); }
    // An accessible name with the group's title.
    QString Spoken(const QString& what) const { return m_look.title + QLatin1Char(' ') + what; }

    QPushButton* file = nullptr;
    QLineEdit* fileName = nullptr;
    QPushButton* sine = nullptr;
    QLineEdit* sineFreq = nullptr;
    QLineEdit* sineAmpl = nullptr;
    QLineEdit* rate = nullptr;
    QSlider* slider = nullptr;
    QLabel* valueText = nullptr;
    QPushButton* mute = nullptr;
    QPushButton* start = nullptr;
    QPushButton* stop = nullptr;
    QLabel* count = nullptr;
    QLabel* totalCount = nullptr;
    QLabel* time = nullptr;
    QLabel* totalTime = nullptr;
    std::array<QLabel*, 2> buffer{};
    QProgressBar* progress = nullptr;
    CLevelMeter* meter = nullptr;
    QLabel* level = nullptr;

private:
    QLabel* Figure(const FigureLook& look, const QString& text);
    void AddFigureRow(QGridLayout* form, int row, const FigureLook& look, QLabel* current, QLabel* total);

    ChannelLook m_look;
    std::vector<QWidget*> m_idle;
};
