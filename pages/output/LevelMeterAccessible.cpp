// The level meter's accessible interface: a progress-bar-like level indicator that reads the meter's
// position and maximum; the value cannot be set from outside, as the board decides it.
#include "LevelMeterAccessible.h"

#include "LevelMeter.h"

#include <QAccessibleValueInterface>
#include <QAccessibleWidget>

namespace {

class CLevelMeterAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit CLevelMeterAccessible(CLevelMeter* meter) : QAccessibleWidget(meter, QAccessible::ProgressBar) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value)
            return QString::number(Meter()->Pos());
        return QAccessibleWidget::text(t);
    }
    QVariant currentValue() const override { return Meter()->Pos(); }
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return Meter()->Max(); }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    CLevelMeter* Meter() const { return static_cast<CLevelMeter*>(widget()); }
};

QAccessibleInterface* Factory(const QString& className, QObject* object) {
    if (className == QLatin1String("CLevelMeter") && object && object->isWidgetType())
        return new CLevelMeterAccessible(static_cast<CLevelMeter*>(object));
    return nullptr;
}

} // namespace

void InstallLevelMeterAccessibility() {
    static const bool installed = (QAccessible::installFactory(&Factory), true);
    (void)installed;
}

void NotifyLevelChanged(CLevelMeter* meter) {
    if (!QAccessible::isActive())
        return;
    QAccessibleValueChangeEvent event(meter, meter->Pos());
    QAccessible::updateAccessibility(&event);
}
