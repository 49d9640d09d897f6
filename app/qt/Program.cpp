#include "qt/Program.h"

#include "qt/Fonts.h"
#include "qt/Form1.h"
#include "qt/Identity.h"
#include "qt/StartUp.h"
#include "program/Start.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontMetricsF>
#include <QLabel>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>
#include <memory>
#include <string>
#include <vector>

namespace kestivo {

namespace {

constexpr Streams kStreams{[](std::string_view line) { std::printf("%.*s\n", int(line.size()), line.data()); },
                           [](std::string_view line) { std::fprintf(stderr, "%.*s\n", int(line.size()), line.data()); }};

// The faces the window's texts need, loaded now, fallbacks for their
// characters included, rather than at its first paint.
void loadFonts(const QWidget& window)
{
    for (const QWidget* w : window.findChildren<const QWidget*>()) {
        const auto* label = qobject_cast<const QLabel*>(w);
        const auto* button = qobject_cast<const QAbstractButton*>(w);
        if (label || button)
            (void)QFontMetricsF(w->font()).boundingRect(label ? label->text() : button->text());
    }
}

} // namespace

int runProgram(int argc, char* argv[])
{
    endUncaughtWithALine(kStreams);
    const CommandLine command = parseCommandLine(std::vector<std::string>(argv, argv + argc), qtOptions());
    if (const auto status = answer(command, kStreams))
        return *status;
    StartUp startUp(command);
    if (const auto why = startUp.beforeQt())
        return refuse(kStreams, *why);
    QApplication app(argc, argv);
    if (const auto why = startUp.reached(app))
        return refuse(kStreams, *why);
    // The window's Chinese title also reaches the window system through the
    // locale's character set (the legacy WM_NAME), which under "C" would
    // garble it. Qt, which has just read the locale, takes text as UTF-8
    // whatever it is.
    if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0)
        std::setlocale(LC_CTYPE, "C.UTF-8");
    applyIdentity(app);
    installFontSubstitutes();

    Form1::Options options;
    options.session.pointsPerSecond = command.pointsPerSecond;
    std::unique_ptr<Form1> form;
    try {
        form = std::make_unique<Form1>(std::move(options));
        form->show();
        loadFonts(*form);
        startUp.shown();
    } catch (const std::exception& error) {
        return refuse(kStreams, std::string("cannot build the window: ") + error.what());
    }
    const int status = app.exec();
    // A reported failure ends the program at once: neither a teardown that
    // memory may no longer carry, nor anything more of Qt's. 退出 and closing
    // tear down, within a bound.
    if (status != 0) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    boundTeardown(status);
    return status;
}

} // namespace kestivo
