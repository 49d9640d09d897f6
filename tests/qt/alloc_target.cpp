// The program as a user starts it, then one drawing and, once it is shown,
// 退出: what the allocation sweep runs, from the drawing's start (the
// sweep's mark) or from the beginning. An error box that comes up is dismissed at once, as a user
// would, so that no run waits for one.

#include "form/Layout.h"
#include "qt/Form1.h"
#include "qt/Program.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <dlfcn.h>

#include "WhenShown.h"

namespace {
void drive()
{
    kestivo::test::whenShown([](kestivo::Form1& form) {
        auto* dismiss = new QTimer(&form);
        QObject::connect(dismiss, &QTimer::timeout, [] {
            if (QWidget* box = QApplication::activeModalWidget())
                box->close();
        });
        dismiss->start(20);
        // Where a sweep of the drawing's allocations begins.
        if (auto* mark = reinterpret_cast<void (*)()>(dlsym(RTLD_DEFAULT, "kestivo_fail_mark")))
            mark();
        form.session().click(kestivo::layout::kCmdHwbk);
        auto* exit = new QTimer(&form);
        QObject::connect(exit, &QTimer::timeout, [&form] {
            if (!form.drawing())
                form.session().click(kestivo::layout::kCmdExit);
        });
        exit->start(20);
    });
}
Q_COREAPP_STARTUP_FUNCTION(drive)
} // namespace

int main(int argc, char* argv[])
{
    return kestivo::runProgram(argc, argv);
}
