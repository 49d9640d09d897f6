#include "qt/Accessibility.h"

#include "qt/Canvas.h"
#include "qt/Form1.h"

#include <QAccessibleWidget>
#include <QPushButton>

namespace kestivo {

namespace {

// Not while the window is torn down, when it is a Form1 no more.
const Form1* formOf(const QWidget* w)
{
    return qobject_cast<const Form1*>(w->window());
}

bool busy(const QWidget* w)
{
    const Form1* form = formOf(w);
    return form && form->drawing();
}

// The window, the picture or a button of a Form1, by its role.
class FormAccessible final : public QAccessibleWidget {
public:
    using QAccessibleWidget::QAccessibleWidget;

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && role() == QAccessible::Window)
            return widget()->windowTitle();
        if (t == QAccessible::Name && role() == QAccessible::Button && widget()->accessibleName().isEmpty())
            return button()->text();
        // The picture, described by what is drawn on it now.
        const Form1* form = formOf(widget());
        if (t == QAccessible::Description && role() == QAccessible::Graphic && form)
            return QString::fromStdU16String(form->session().describePicture());
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        if (role() == QAccessible::Window)
            s.busy = busy(widget());
        else if (role() == QAccessible::Button && busy(widget()))
            s.disabled = true;
        return s;
    }
    // A button refuses while the window is busy. (Its click would be
    // refused then too; this says so, rather than accept a press and drop it.)
    QStringList actionNames() const override
    {
        if (role() != QAccessible::Button)
            return QAccessibleWidget::actionNames();
        if (busy(widget()) || !widget()->isEnabled())
            return {};
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override
    {
        if (role() != QAccessible::Button || action != pressAction())
            QAccessibleWidget::doAction(action);
        else if (actionNames().contains(action)) // after the call returns, as a click on the screen would come
            QMetaObject::invokeMethod(button(), &QPushButton::click, Qt::QueuedConnection);
    }

private:
    QPushButton* button() const { return static_cast<QPushButton*>(widget()); }
};

QAccessibleInterface* factory(const QString&, QObject* object)
{
    auto* w = qobject_cast<QWidget*>(object);
    if (!w || !qobject_cast<Form1*>(w->window()))
        return nullptr;
    if (w->isWindow())
        return new FormAccessible(w, QAccessible::Window);
    if (qobject_cast<Canvas*>(w))
        return new FormAccessible(w, QAccessible::Graphic);
    if (qobject_cast<QPushButton*>(w))
        return new FormAccessible(w, QAccessible::Button);
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
