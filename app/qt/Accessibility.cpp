#include "qt/Accessibility.h"

#include "qt/Canvas.h"
#include "qt/Form1.h"

#include <QAccessibleWidget>
#include <QPushButton>

namespace kestivo {

namespace {

bool busy(const QWidget* w)
{
    const auto* form = qobject_cast<const Form1*>(w->window());
    return form && form->drawing();
}

class FormAccessible final : public QAccessibleWidget {
public:
    explicit FormAccessible(Form1* form) : QAccessibleWidget(form, QAccessible::Window) {}

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name ? widget()->windowTitle() : QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.busy = busy(widget());
        return s;
    }
};

// The picture, described by what is drawn on it now.
class PictureAccessible final : public QAccessibleWidget {
public:
    explicit PictureAccessible(Canvas* canvas) : QAccessibleWidget(canvas, QAccessible::Graphic) {}
    QString text(QAccessible::Text t) const override
    {
        const auto* form = qobject_cast<const Form1*>(widget()->window());
        if (t == QAccessible::Description && form)
            return QString::fromStdU16String(form->session().describePicture());
        return QAccessibleWidget::text(t);
    }
};

// A push button that refuses while the window is busy. (Its click would be
// refused then too; this says so, rather than accept a press and drop it.)
class ButtonAccessible final : public QAccessibleWidget {
public:
    explicit ButtonAccessible(QPushButton* b) : QAccessibleWidget(b, QAccessible::Button) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return button()->text();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        if (busy(widget()))
            s.disabled = true;
        return s;
    }
    QStringList actionNames() const override
    {
        if (busy(widget()) || !widget()->isEnabled())
            return {};
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override
    {
        if (action != pressAction()) {
            QAccessibleWidget::doAction(action);
            return;
        }
        if (!actionNames().contains(action))
            return;
        // After the call returns, as a click on the screen would come.
        QMetaObject::invokeMethod(button(), &QPushButton::click, Qt::QueuedConnection);
    }

private:
    QPushButton* button() const { return static_cast<QPushButton*>(widget()); }
};

QAccessibleInterface* factory(const QString&, QObject* object)
{
    if (auto* form = qobject_cast<Form1*>(object))
        return new FormAccessible(form);
    if (auto* canvas = qobject_cast<Canvas*>(object))
        return new PictureAccessible(canvas);
    if (auto* b = qobject_cast<QPushButton*>(object); b && qobject_cast<Form1*>(b->window()))
        return new ButtonAccessible(b);
    return nullptr;
}

} // namespace

void installAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    (void)installed;
}

} // namespace kestivo
