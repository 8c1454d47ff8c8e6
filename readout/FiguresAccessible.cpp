// What assistive technology reads of the readout figures. They paint their characters from
// pictures, so Qt sees a plain widget with nothing to say; this interface gives them back what a
// label had: the static-text role and the reading shown ("Ref", degrees-minutes-seconds and all)
// as their name and text.
#include <QAccessibleWidget>
#include <mutex>

#include "readout/Figures.h"

namespace readout {

namespace {

class FiguresAccessible : public QAccessibleWidget {
public:
    explicit FiguresAccessible(Figures* figures)
        : QAccessibleWidget(figures, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override {
        const auto* figures = static_cast<const Figures*>(widget());
        switch (t) {
            case QAccessible::Name:
            case QAccessible::Value:
                return figures->text();
            case QAccessible::Description:
                return figures->spokenState();
            default:
                return QAccessibleWidget::text(t);
        }
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        // Shown, never typed into nor focused.
        s.readOnly = true;
        s.focusable = false;
        return s;
    }
};

QAccessibleInterface* figuresFactory(const QString& className, QObject* object) {
    // Asked once per class of the object's hierarchy; the figures answer for their own class
    // only, so that nothing derived from QWidget is looked at twice.
    if (className == QLatin1String(Figures::staticMetaObject.className()) && object &&
        object->isWidgetType())
        if (auto* figures = qobject_cast<Figures*>(object)) return new FiguresAccessible(figures);
    return nullptr;
}

}  // namespace

void registerFiguresAccessible() {
    static std::once_flag once;
    std::call_once(once, [] { QAccessible::installFactory(figuresFactory); });
}

}  // namespace readout
