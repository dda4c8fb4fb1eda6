// The calibration page's instruction picture: the fixed instruction lines, black on white, drawn as text so
// they stay sharp at any screen scale.
#pragma once

#include <QFont>
#include <QStringList>
#include <QWidget>

// The largest font (from `base`'s family) at which every line fits `area` one under the other.
QFont FitInstructionFont(const QFont& base, const QSize& area, const QStringList& lines);

class CInstructionPicture : public QWidget {
    Q_OBJECT
public:
    // The picture's size in device-independent pixels.
    static constexpr int kWidth = 648;
    static constexpr int kHeight = 173;
    static constexpr int kMargin = 8;

    explicit CInstructionPicture(QWidget* parent = nullptr);

    QSize sizeHint() const override { return {kWidth, kHeight}; }
    QSize minimumSizeHint() const override { return {kWidth, kHeight}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QStringList m_lines;
};
