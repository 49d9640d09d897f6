#pragma once

// For a target that runs the program as main does: drives the window once
// its first paint is over. Armed by Q_COREAPP_STARTUP_FUNCTION, as the
// program makes its application itself.

#include "qt/Canvas.h"
#include "qt/Form1.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

#include <functional>

namespace kestivo::test {

// The picture covers the window: its first paint is the window's.
inline void whenShown(std::function<void(Form1&)> drive)
{
    struct Watch final : QObject {
        std::function<void(Form1&)> drive;
        bool eventFilter(QObject* watched, QEvent* event) override
        {
            if (event->type() == QEvent::Paint && qobject_cast<Canvas*>(watched)) {
                QCoreApplication::instance()->removeEventFilter(this);
                auto* form = static_cast<Form1*>(static_cast<Canvas*>(watched)->window());
                QTimer::singleShot(0, form, [this, form] {
                    drive(*form);
                    deleteLater();
                });
            }
            return false;
        }
    };
    auto* watch = new Watch;
    watch->drive = std::move(drive);
    QCoreApplication::instance()->installEventFilter(watch);
}

} // namespace kestivo::test
