#include "CommandLine.h"
#include "Fonts.h"
#include "Form1.h"
#include "Identity.h"
#include "StartUp.h"

#include <QApplication>

#include <cstdio>
#include <memory>

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const kestivo::CommandLine command = kestivo::parseCommandLine(arguments);
    switch (command.action) {
    case kestivo::CommandLine::Action::Help:
    case kestivo::CommandLine::Action::Version:
        std::printf("%s\n", command.text.toLocal8Bit().constData());
        return 0;
    case kestivo::CommandLine::Action::UsageError:
        std::fprintf(stderr, "%s\n", command.text.toLocal8Bit().constData());
        return kestivo::kUsageErrorStatus;
    case kestivo::CommandLine::Action::Run:
        break;
    }

    auto guard = std::make_unique<kestivo::WindowSystemGuard>(command);
    QApplication app(argc, argv);
    guard.reset();
    kestivo::applyIdentity(app);
    kestivo::installFontSubstitutes();

    kestivo::Form1::Options options;
    options.pointsPerSecond = command.pointsPerSecond;
    kestivo::Form1 form(std::move(options));
    form.show();
    return app.exec();
}
