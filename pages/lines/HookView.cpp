// The hook state picture widget.
#include "HookView.h"

#include "HookPictures.h"
#include "LineBlocks.h"

#include <QPainter>

CHookView::CHookView(QWidget* parent) : QWidget(parent), m_state(LineState::kOnHook) {
    setFixedSize(kHookPictureWidth, kHookPictureHeight);
}

void CHookView::SetState(uint16_t state) {
    if (state == m_state)
        return;
    m_state = state;
    update();
}

void CHookView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const HookLayers layers = LayersFor(m_state);
    for (size_t i = 0; i < layers.count; ++i)
        painter.drawImage(0, 0, HookImage(layers.pictures[i]));
}
