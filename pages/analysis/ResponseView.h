// The analyser's "Response" view: the loss against frequency of the tones the input heard, relative to
// 1020 Hz, drawn over the loss-frequency mask's limits.
#pragma once

#include "ChannelFigures.h"
#include "ChannelMasks.h"

#include <QPixmap>
#include <QWidget>

#include <map>
#include <optional>
#include <vector>

class CResponseView : public QWidget {
public:
    explicit CResponseView(QWidget* parent = nullptr);

    // A tone heard at `hz` with its fundamental at `levelDb` (any one scale); a tone within 1 Hz of one
    // already held replaces it, so a sweep played again shows its latest pass. A steady tone heard again
    // (its level within kRedrawDb) is not drawn again: the picture would not change.
    static constexpr double kRedrawDb = 0.05;
    void AddReading(double hz, double levelDb);
    void Clear();
    // The limits drawn, and each point is judged against (the recommended mask unless told).
    void SetMask(const ChannelMask& mask);

    // Loss relative to 1020 Hz, by frequency; nothing until a tone near 1020 Hz was heard.
    std::optional<std::vector<CurvePoint>> Curve() const;
    // "Response: 12 points, 0.1 to 3.0 dB loss, 2 outside the mask" (the accessible name says the same).
    QString Summary() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Changed();
    // The frame, grid, labels and mask, drawn again only when the size or the mask changes.
    void MakeBackground();

    struct Reading {
        double level = 0.0;
        double drawn = 0.0; // the level the picture and the summary show
    };
    std::map<long, Reading> m_levels; // by whole hertz
    ChannelMask m_mask;
    QPixmap m_background;
    bool m_backgroundStale = true;
};
