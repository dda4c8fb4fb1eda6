// CLevelMeter: a segmented three-colour level bar (green, yellow, red) that stands in for a progress bar.
#pragma once

#include <QColor>
#include <QWidget>

class QProgressBar;

class CLevelMeter : public QWidget {
    Q_OBJECT
public:
    explicit CLevelMeter(QWidget* parent = nullptr);

    // Takes the place of the progress bar in its parent (and its layout), with the bar's geometry and
    // orientation; the bar is hidden. False when there is no bar or it has no parent.
    bool Attach(QProgressBar* bar);
    // A max of 0 or less is refused with -1 and nothing changes; otherwise returns max.
    int32_t SetMax(int32_t max);
    // Limits the value to max (no lower limit), repaints the band that changed and returns the new position.
    int32_t SetPos(int32_t value);
    // Stores the background colour; shown at the next repaint.
    void SetBkColor(const QColor& colour);
    void SetVertical(bool vertical);

    int32_t Max() const { return m_max; }
    int32_t Pos() const { return m_pos; }
    bool IsVertical() const { return m_vertical; }
    QColor BkColor() const { return m_bkColour; }
    // Zone widths in percent of max; the high zone is what the others leave and is not read for drawing.
    int32_t LowZone() const { return m_lowZone; }
    int32_t MiddleZone() const { return m_midZone; }
    int32_t HighZone() const { return m_highZone; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Offset, across the bar's length, of the far end of the lit part for a position.
    int BandOffset(int32_t position, int length) const;

    QColor m_lowColour{40, 255, 32};
    int32_t m_lowZone = 50;
    QColor m_midColour{255, 255, 0};
    int32_t m_midZone = 40;
    QColor m_highColour{255, 0, 0};
    int32_t m_highZone = 10;
    int32_t m_max = 100;
    int32_t m_pos = 100;
    int32_t m_segmentSize = 5;
    int32_t m_gap = 2;
    bool m_vertical = false;
    QColor m_bkColour{192, 192, 192};
};
