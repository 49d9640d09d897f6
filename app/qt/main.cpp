#include "qt/Fonts.h"
#include "qt/Form1.h"
#include "qt/Identity.h"
#include "qt/StartUp.h"
#include "session/CommandLine.h"
#include "session/ErrorText.h"
#include "session/Product.h"

#include <QApplication>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <exception>
#include <langinfo.h>
#include <memory>
#include <string>
#include <vector>

int main(int argc, char* argv[])
{
    using kestivo::CommandLine;
    const CommandLine command = kestivo::parseCommandLine(
        std::vector<std::string>(argv, argv + argc), kestivo::qtOptions());
    switch (command.action) {
    case CommandLine::Action::Help:
    case CommandLine::Action::Version:
        std::printf("%s\n", command.text.c_str());
        return 0;
    case CommandLine::Action::UsageError:
        std::fprintf(stderr, "%s\n", command.text.c_str());
        return kestivo::kUsageErrorStatus;
    case CommandLine::Action::Run:
        break;
    }

    // Nothing thrown may end the program with an abort and a core file.
    std::set_terminate([] {
        std::fprintf(stderr, "%s: %s\n", kestivo::kProgramName, kestivo::kBareErrorLine);
        std::_Exit(1);
    });
    if (const auto bad = kestivo::threadsUnavailable()) {
        std::fprintf(stderr, "%s: %s\n", kestivo::kProgramName, bad->c_str());
        return 1;
    }
    if (const auto bad = kestivo::badScaleSetting()) {
        std::fprintf(stderr, "%s: %s\n", kestivo::kProgramName, bad->c_str());
        return 1;
    }

    auto guard = std::make_unique<kestivo::WindowSystemGuard>(command);
    QApplication app(argc, argv);
    guard.reset();
    kestivo::endFatalMessagesPlainly();
    if (QGuiApplication::screens().isEmpty()) {
        std::fprintf(stderr, "%s: the window system platform '%s' has no screen\n", kestivo::kProgramName,
                     QGuiApplication::platformName().toLocal8Bit().constData());
        return 1;
    }
    if (const auto bad = kestivo::badScale(app.devicePixelRatio())) {
        std::fprintf(stderr, "%s: %s\n", kestivo::kProgramName, bad->c_str());
        return 1;
    }
    // The window's Chinese title also reaches the window system through the
    // locale's character set (the legacy WM_NAME), which under "C" would
    // garble it. Qt, which has just read the locale, takes text as UTF-8
    // whatever it is.
    if (std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0)
        std::setlocale(LC_CTYPE, "C.UTF-8");
    kestivo::applyIdentity(app);
    kestivo::installFontSubstitutes();

    kestivo::Form1::Options options;
    options.session.pointsPerSecond = command.pointsPerSecond;
    std::unique_ptr<kestivo::Form1> form;
    try {
        form = std::make_unique<kestivo::Form1>(std::move(options));
        form->show();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: cannot build the window: %s\n", kestivo::kProgramName, error.what());
        return 1;
    }
    return app.exec();
}
