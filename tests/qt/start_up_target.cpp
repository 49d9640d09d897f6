// The program as a user starts it, driven once its window has first
// painted: it says so on standard output, draws 花纹边框, and ends with
// status 0 if the screen shows the engine's picture, 3 if not.

#include "form/Layout.h"
#include "patterns/Patterns.h"
#include "qt/Canvas.h"
#include "qt/Form1.h"
#include "qt/Program.h"
#include "support/Surfaces.h"

#include "WhenShown.h"

#include <QApplication>
#include <QImage>
#include <QScreen>
#include <QTimer>

#include <cstdio>

namespace {
using namespace kestivo;

void drive()
{
    test::whenShown([](Form1& form) {
        std::puts("painted");
        std::fflush(stdout);
        form.session().click(layout::kCmdHwbk);
        // Shown at the next frame; read back a moment later.
        QTimer::singleShot(300, &form, [&form] {
            // The top row of roses, clear of the frame and the controls, as
            // the screen shows it.
            const QRect band(20, 30, 760, 50);
            const QPoint at = form.canvas().mapToGlobal(band.topLeft());
            const QImage screen = QGuiApplication::primaryScreen()
                                      ->grabWindow(0, at.x(), at.y(), band.width(), band.height())
                                      .toImage()
                                      .convertToFormat(QImage::Format_RGB32);
            const Pixels engine = test::enginePicture(form.picture().raster(), {DrawHwbk});
            int wrong = 0;
            for (int y = 0; y < band.height(); ++y)
                for (int x = 0; x < band.width(); ++x)
                    wrong += screen.pixel(x, y) != engine.pixel(band.x() + x, band.y() + y);
            std::printf("%d pixels differ from the engine's\n", wrong);
            std::fflush(stdout);
            if (wrong)
                QCoreApplication::exit(3);
            else
                form.session().click(layout::kCmdExit);
        });
    });
}
Q_COREAPP_STARTUP_FUNCTION(drive)
} // namespace

int main(int argc, char* argv[])
{
    return runProgram(argc, argv);
}
