// The hook state picture of one line: draws the pictures its state word calls for, one over the other.
#pragma once

#include <QWidget>

#include <cstdint>

class CHookView : public QWidget {
public:
    explicit CHookView(QWidget* parent);

    // Repaints (only this picture's rectangle) when the state differs from the one drawn.
    void SetState(uint16_t state);
    uint16_t State() const { return m_state; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    uint16_t m_state;
};
