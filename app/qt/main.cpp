#include "qt/Fonts.h"
#include "qt/Form1.h"
#include "qt/Identity.h"
#include "qt/StartUp.h"
#include "session/CommandLine.h"

#include <QApplication>

#include <clocale>
#include <cstdio>
#include <cstring>
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

    auto guard = std::make_unique<kestivo::WindowSystemGuard>(command);
    QApplication app(argc, argv);
    guard.reset();
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
    kestivo::Form1 form(std::move(options));
    form.show();
    return app.exec();
}
