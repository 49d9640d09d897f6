#include "qt/StartUp.h"

#include "session/Picture.h"
#include "session/Product.h"

#include <QByteArray>
#include <QRegularExpression>
#include <QtGlobal>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

namespace kestivo {

// The options that QGuiApplication, QApplication and the X11 and Wayland
// platform plugins take from the command line.
const ForeignOptions& qtOptions()
{
    static const ForeignOptions options{
        .withValue = {"platform", "platformpluginpath", "platformtheme", "plugin", "qmljsdebugger",
                      "qwindowgeometry", "geometry", "qwindowtitle", "title", "qwindowicon", "icon",
                      "session", "display", "name", "style", "stylesheet"},
        .flags = {"reverse", "widgetcount", "nograb", "dograb", "sync", "testability"},
        .helpNote = "Qt's own options are accepted too, for example -platform <name>,\n"
                    "-display <display>, -style <style>, -qwindowgeometry <geometry>\n"
                    "and -reverse.",
    };
    return options;
}

namespace {
std::string scaleRange()
{
    return QStringLiteral("a number from %1 to %2").arg(Picture::kMinScale).arg(Picture::kMaxScale).toStdString();
}

std::optional<std::string> badFactor(const char* setting, const QString& value)
{
    bool ok = false;
    const double factor = value.trimmed().toDouble(&ok);
    if (ok && factor >= Picture::kMinScale && factor <= Picture::kMaxScale)
        return std::nullopt;
    return std::string(setting) + "=" + value.toStdString() + " is not a scale the window can be drawn at: give " +
           scaleRange();
}
} // namespace

std::optional<std::string> badScaleSetting()
{
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR"))
        if (auto bad = badFactor("QT_SCALE_FACTOR", qEnvironmentVariable("QT_SCALE_FACTOR")))
            return bad;
    // "1.5" for every screen, or "name=1.5;name2=2".
    const QString screens = qEnvironmentVariable("QT_SCREEN_SCALE_FACTORS");
    for (const QString& entry : screens.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        if (auto bad = badFactor("QT_SCREEN_SCALE_FACTORS", entry.section(QLatin1Char('='), -1)))
            return bad;
    return std::nullopt;
}

std::optional<std::string> badScale(double scale)
{
    if (scale >= Picture::kMinScale && scale <= Picture::kMaxScale)
        return std::nullopt;
    return "the window's scale would be " + QString::number(scale).toStdString() +
           " (from QT_SCALE_FACTOR, QT_SCREEN_SCALE_FACTORS and the screen): the window is drawn at " +
           scaleRange();
}

namespace {
QString foreignValue(const CommandLine& commandLine, const char* option)
{
    const auto it = commandLine.foreign.find(option);
    return it == commandLine.foreign.end() ? QString() : QString::fromLocal8Bit(it->second.c_str());
}
} // namespace

QString describeNoDisplay(const CommandLine& commandLine, const QString& qtMessage)
{
    const QString chosenPlatform = foreignValue(commandLine, "platform");
    const QString chosenDisplay = foreignValue(commandLine, "display");
    const bool chosen = !chosenPlatform.isEmpty();
    const QString platform = chosen ? chosenPlatform : qEnvironmentVariable("QT_QPA_PLATFORM");
    const QString x11 = chosenDisplay.isEmpty() ? qEnvironmentVariable("DISPLAY") : chosenDisplay;
    const QString wayland = qEnvironmentVariable("WAYLAND_DISPLAY");

    // A platform is "name" or "name:arguments"; several may be given, "wayland;xcb".
    bool x11Asked = platform.isEmpty();
    bool waylandAsked = platform.isEmpty();
    QStringList others;
    for (const QString& entry : platform.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString name = entry.section(QLatin1Char(':'), 0, 0).trimmed();
        if (name == QLatin1String("xcb"))
            x11Asked = true;
        else if (name.startsWith(QLatin1String("wayland")))
            waylandAsked = true;
        else
            others << name;
    }
    if (!x11Asked && !waylandAsked) {
        QString line = QStringLiteral("cannot start the window system platform '%1' (from %2)")
                           .arg(others.join(QLatin1Char(';')),
                                chosen ? QStringLiteral("-platform") : QStringLiteral("QT_QPA_PLATFORM"));
        const QRegularExpression available(QStringLiteral("Available platform plugins are: ([^\\n]*?)\\.?\\s*$"),
                                           QRegularExpression::MultilineOption);
        if (const auto match = available.match(qtMessage); match.hasMatch())
            line += QStringLiteral("; there are: ") + match.captured(1);
        return line;
    }
    if (!x11Asked)
        return wayland.isEmpty() ? QStringLiteral("no Wayland display: WAYLAND_DISPLAY is not set")
                                 : QStringLiteral("cannot use Wayland display '%1'").arg(wayland);
    if (!waylandAsked)
        return x11.isEmpty() ? QStringLiteral("no X display: DISPLAY is not set")
                             : QStringLiteral("cannot open display '%1'").arg(x11);
    if (x11.isEmpty() && wayland.isEmpty())
        return QStringLiteral("no display: neither DISPLAY nor WAYLAND_DISPLAY is set");
    if (wayland.isEmpty())
        return QStringLiteral("cannot open display '%1'").arg(x11);
    if (x11.isEmpty())
        return QStringLiteral("cannot use Wayland display '%1', and DISPLAY is not set").arg(wayland);
    return QStringLiteral("cannot open display '%1' nor use Wayland display '%2'").arg(x11, wayland);
}

std::optional<std::string> threadsUnavailable()
{
    // All at once, as Qt would have them.
    constexpr int kQtThreads = 6;
    std::vector<std::thread> threads;
    std::optional<std::string> problem;
    std::atomic<bool> go{false};
    try {
        for (int i = 0; i < kQtThreads; ++i)
            threads.emplace_back([&go] {
                while (!go.load())
                    std::this_thread::yield();
            });
    } catch (const std::system_error& error) {
        problem = std::string("cannot start the threads the window system needs (") + error.code().message() +
                  "): raise the process limit (ulimit -u) or the memory limit (ulimit -v)";
    }
    go = true;
    for (std::thread& t : threads)
        t.join();
    return problem;
}

std::optional<std::string> descriptorsUnavailable()
{
    // Comfortably more than a run uses (about a dozen at its peak).
    constexpr int kPipes = 12;
    std::vector<int> open;
    std::optional<std::string> problem;
    for (int i = 0; i < kPipes && !problem; ++i) {
        int ends[2];
        if (pipe(ends) != 0) {
            problem = std::string("cannot open the files the window system needs (") +
                      std::system_category().message(errno) + "): raise the open files limit (ulimit -n)";
            break;
        }
        open.insert(open.end(), {ends[0], ends[1]});
    }
    for (int fd : open)
        close(fd);
    return problem;
}

namespace {
volatile std::sig_atomic_t endingStatus = 0;

void teardownTooLong(int)
{
    _exit(endingStatus);
}
} // namespace

void boundTeardown(int status)
{
    constexpr unsigned kTeardownSeconds = 5;
    endingStatus = status;
    std::signal(SIGALRM, teardownTooLong);
    alarm(kTeardownSeconds);
}

namespace {

struct HeldMessage {
    QtMsgType type;
    QByteArray file, function, category;
    int line;
    QString text;
};

std::mutex guardMutex;
const CommandLine* guarded = nullptr;
bool reached = false; // the window system
QtMessageHandler qtHandler = nullptr;
std::vector<HeldMessage> held;

const char* orNull(const QByteArray& b)
{
    return b.isNull() ? nullptr : b.constData();
}

void passOn(const HeldMessage& m)
{
    const QMessageLogContext context(orNull(m.file), m.line, orNull(m.function), orNull(m.category));
    qtHandler(m.type, context, m.text);
}

// Qt's warning before it ends the program itself, with status 1 and no word
// of the program's, when the display connection breaks (the server gone, or
// the memory to read its replies).
bool connectionLost(QtMsgType type, const QString& text)
{
    return type == QtWarningMsg && (text.startsWith(QLatin1String("The X11 connection broke")) ||
                                    text.startsWith(QLatin1String("The Wayland connection")));
}

// One line, then the end: nothing is worth tearing down, and Qt may be half
// way through starting. Memory may be what ran out: the program's words are
// literals, written before the detail is converted.
[[noreturn]] void endWith(const char* what, const QString& detail)
{
    std::fputs(kProgramName, stderr);
    std::fputs(what, stderr);
    try {
        std::fputs(detail.section(QLatin1Char('\n'), 0, 0).toLocal8Bit().constData(), stderr);
    } catch (...) {
    }
    std::fputc('\n', stderr);
    std::fflush(stderr);
    std::_Exit(1);
}

void handleMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    std::unique_lock lock(guardMutex);
    if (!reached) {
        if (type != QtFatalMsg) {
            held.push_back({type, context.file, context.function, context.category, context.line, text});
            return;
        }
        if (qEnvironmentVariableIsSet("QT_DEBUG_PLUGINS")) // asked for Qt's account
            for (const HeldMessage& m : held)
                passOn(m);
        if (text.contains(QLatin1String("platform"), Qt::CaseInsensitive))
            endWith(": ", describeNoDisplay(*guarded, text));
        // A platform found but failing (eglfs without a DRM device).
        endWith(": cannot start the window system: ", text);
    }
    if (connectionLost(type, text))
        endWith(": the connection to the window system was lost: ", text);
    if (type == QtFatalMsg)
        endWith(": ", text);
    lock.unlock();
    qtHandler(type, context, text);
}

} // namespace

void guardQtMessages(const CommandLine& commandLine)
{
    std::unique_lock lock(guardMutex);
    guarded = &commandLine;
    qtHandler = qInstallMessageHandler(handleMessage);
}

void windowSystemReached()
{
    // Under the lock, so that a message from another of Qt's threads comes
    // after the held ones.
    std::unique_lock lock(guardMutex);
    for (const HeldMessage& m : held)
        passOn(m);
    held.clear();
    held.shrink_to_fit();
    reached = true;
    guarded = nullptr;
}

} // namespace kestivo
