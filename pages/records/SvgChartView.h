// A chart drawn from SVG text, the same text the HTML report carries, scaled to the widget with its
// proportions kept. It takes the keyboard focus so that a screen reader reads its name.
#pragma once

#include <QWidget>

class QSvgRenderer;

class CSvgChartView : public QWidget {
    Q_OBJECT
public:
    explicit CSvgChartView(QWidget* parent = nullptr);

    // Shows the chart; false (and an empty view) when the text is not SVG the renderer can draw.
    bool SetSvg(const QByteArray& svg);
    void Clear();
    bool HasChart() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSvgRenderer* m_renderer;
};
