// The hook state picture widget and its accessible interface (an image named by the line's state).
#include "HookView.h"

#include "HookPictures.h"
#include "LineBlocks.h"

#include <QAccessibleWidget>
#include <QPainter>

namespace {

class CHookViewAccessible final : public QAccessibleWidget {
public:
    explicit CHookViewAccessible(CHookView* view) : QAccessibleWidget(view, QAccessible::Graphic) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name)
            return CHookView::StateName(static_cast<CHookView*>(widget())->State());
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* Factory(const QString& className, QObject* object) {
    if (className == QLatin1String("CHookView") && object && object->isWidgetType())
        return new CHookViewAccessible(static_cast<CHookView*>(object));
    return nullptr;
}

} // namespace

CHookView::CHookView(QWidget* parent) : QWidget(parent), m_state(LineState::kOnHook) {
    static const bool installed = (QAccessible::installFactory(&Factory), true);
    (void)installed;
    setFixedSize(kHookPictureWidth, kHookPictureHeight);
}

QString CHookView::StateName(uint16_t state) {
    QStringList names;
    const HookLayers layers = LayersFor(state);
    for (size_t i = 0; i < layers.count; ++i) {
        switch (layers.pictures[i]) {
        case HookPicture::OnHook:
            names << QStringLiteral("On hook");
            break;
        case HookPicture::OffHook:
            names << QStringLiteral("Off hook");
            break;
        case HookPicture::Ringing:
            names << QStringLiteral("Ringing");
            break;
        }
    }
    return names.isEmpty() ? QStringLiteral("No hook state") : names.join(QStringLiteral(", "));
}

void CHookView::SetState(uint16_t state) {
    if (state == m_state)
        return;
    m_state = state;
    update();
    if (QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
}

void CHookView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // From a ratio of 1.5 up the double-size pictures are the closer match.
    const int scale = devicePixelRatioF() >= 1.5 ? 2 : 1;
    const HookLayers layers = LayersFor(m_state);
    for (size_t i = 0; i < layers.count; ++i)
        painter.drawImage(0, 0, HookImage(layers.pictures[i], scale));
}
