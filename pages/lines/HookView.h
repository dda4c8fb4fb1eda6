// The hook state picture of one line: draws the pictures its state word calls for, one over the other.
#pragma once

#include <QWidget>

#include <cstdint>

class CHookView : public QWidget {
    Q_OBJECT
public:
    explicit CHookView(QWidget* parent);

    // Repaints (only this picture's rectangle) when the state differs from the one drawn.
    void SetState(uint16_t state);
    uint16_t State() const { return m_state; }
    // What the picture shows in words ("On hook", "Off hook", "Ringing", joined when layered); assistive
    // tools read it as the picture's name.
    static QString StateName(uint16_t state);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    uint16_t m_state;
};
