// The live figures' accessible interface: a static text whose name is the figure's caption and value.
#include "FigureAccessible.h"

#include <QAccessibleWidget>
#include <QLabel>

namespace {

const char* const kCaptionProperty = "figureCaption";

class CFigureAccessible final : public QAccessibleWidget {
public:
    explicit CFigureAccessible(QLabel* label) : QAccessibleWidget(label, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override {
        const auto* label = static_cast<const QLabel*>(widget());
        if (t == QAccessible::Value)
            return label->text();
        if (t == QAccessible::Name) {
            const QString caption = label->property(kCaptionProperty).toString();
            return label->text().isEmpty() ? caption : caption + QLatin1Char(' ') + label->text();
        }
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* Factory(const QString& className, QObject* object) {
    if (className != QLatin1String("QLabel") || !object || !object->property(kCaptionProperty).isValid())
        return nullptr;
    return new CFigureAccessible(static_cast<QLabel*>(object));
}

} // namespace

void SpeakAsFigure(QLabel* label, const QString& caption) {
    static const bool installed = (QAccessible::installFactory(&Factory), true);
    (void)installed;
    label->setProperty(kCaptionProperty, caption);
}
