#include "CommandLine.h"

#include "Version.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <cmath>

namespace kestivo {

namespace {

// The options that QGuiApplication, QApplication and the X11 and Wayland
// platform plugins take from the command line. They are declared, hidden,
// only so that they are not usage errors; Qt reads them itself.
const char* const kQtOptionsWithValue[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qmljsdebugger",
    "qwindowgeometry", "geometry", "qwindowtitle", "title", "qwindowicon", "icon",
    "session", "display", "name", "visual", "style", "stylesheet",
};
const char* const kQtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync", "testability"};

QString programName()
{
    return QStringLiteral("Kestivo1");
}

QString usageError(const QString& message)
{
    return QStringLiteral("%1: %2\nTry '%1 --help' for more information.").arg(programName(), message);
}

} // namespace

CommandLine parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    // Qt's options are single-dash words (-platform, -style).
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("Watch rose-curve patterns being drawn point by point."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    const QCommandLineOption pace(
        QStringLiteral("pace"),
        QStringLiteral("Draw N points a second, from 0 to 1e9 (default 1000000); "
                       "0 draws as fast as the machine can."),
        QStringLiteral("N"));
    parser.addOptions({help, version, pace});
    for (const char* name : kQtOptionsWithValue) {
        QCommandLineOption o(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        o.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(o);
    }
    for (const char* name : kQtFlags) {
        QCommandLineOption o(QString::fromLatin1(name), QString());
        o.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(o);
    }

    CommandLine result;
    if (!parser.parse(arguments)) {
        result.action = CommandLine::Action::UsageError;
        result.text = usageError(parser.errorText());
        return result;
    }
    if (parser.isSet(help)) {
        // Without an application object the parser cannot name the program.
        const QString text = parser.helpText();
        result.action = CommandLine::Action::Help;
        result.text = QStringLiteral("Usage: %1 [options]").arg(programName()) +
                      text.mid(text.indexOf(QLatin1Char('\n'))) +
                      QStringLiteral("\nQt's own options are accepted too, for example -platform <name>,\n"
                                     "-display <display>, -style <style>, -qwindowgeometry <geometry>\n"
                                     "and -reverse.");
        return result;
    }
    if (parser.isSet(version)) {
        result.action = CommandLine::Action::Version;
        result.text = programName() + QLatin1Char(' ') + QString::fromLatin1(kVersionText);
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.action = CommandLine::Action::UsageError;
        result.text = usageError(
            QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first()));
        return result;
    }
    if (parser.isSet(pace)) {
        const QString value = parser.value(pace);
        bool ok = false;
        const double rate = value.toDouble(&ok);
        if (!ok || !std::isfinite(rate) || rate < 0 || rate > kMaxPointsPerSecond) {
            result.action = CommandLine::Action::UsageError;
            result.text = usageError(
                QStringLiteral("Invalid --pace value '%1': give points a second, a number from 0 to 1e9.")
                    .arg(value));
            return result;
        }
        result.pointsPerSecond = rate;
    }
    result.platform = parser.value(QStringLiteral("platform"));
    result.display = parser.value(QStringLiteral("display"));
    return result;
}

} // namespace kestivo
