// GoogleTest main for the window tests: a QApplication on the offscreen
// platform unless a display is chosen explicitly.

#include "qt/Fonts.h"
#include "qt/StartUp.h"

#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    kestivo::installFontSubstitutes();
    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    kestivo::boundTeardown(status);
    return status;
}
