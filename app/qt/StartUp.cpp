#include "qt/StartUp.h"

#include "program/Product.h"
#include "session/Picture.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <QtGlobal>

#include <algorithm>
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

// Start-up has this long to build and show the window: the libraries it goes
// through may spin for good on a failure of theirs (fontconfig retries its
// set-up for ever when memory has run out). A window opened minimised, on
// another workspace or covered is no failure: shown is enough.
constexpr unsigned kStartUpSeconds = 30;
volatile std::sig_atomic_t startingUp = 0;

void startUpTooLong(int)
{
    // Only literals, as a handler may only write and end.
    constexpr char rest[] = ": the window could not be shown: start-up did not finish\n";
    (void)!write(STDERR_FILENO, kProgramName, sizeof kProgramName - 1);
    (void)!write(STDERR_FILENO, rest, sizeof rest - 1);
    _exit(1);
}

void continuedAfterStop(int)
{
    if (startingUp)
        alarm(kStartUpSeconds);
}

// Qt starts threads of its own (the display connection's reader, D-Bus, its
// image workers) and waits for them for ever if they cannot start; GLib ends
// the program with a trap when it cannot have the descriptors it wants (the
// display connection, wake-up pipes, fontconfig's files).
std::optional<std::string> limitsProblem()
{
    constexpr int kQtThreads = 6; // all at once, as Qt would have them
    std::optional<std::string> problem;
    std::vector<std::thread> threads;
    std::atomic<bool> go{false};
    try {
        for (int i = 0; i < kQtThreads; ++i)
            threads.emplace_back([&go] {
                while (!go.load())
                    std::this_thread::yield();
            });
    } catch (const std::system_error& error) {
        problem = "cannot start the threads the window system needs (" + error.code().message() +
                  "): raise the process limit (ulimit -u) or the memory limit (ulimit -v)";
    }
    go = true;
    for (std::thread& t : threads)
        t.join();
    constexpr int kPipes = 12; // comfortably more than a run uses at its peak
    std::vector<int> open;
    for (int i = 0; i < kPipes && !problem; ++i) {
        int ends[2];
        if (pipe(ends) != 0)
            problem = "cannot open the files the window system needs (" + std::system_category().message(errno) +
                      "): raise the open files limit (ulimit -n)";
        else
            open.insert(open.end(), {ends[0], ends[1]});
    }
    for (int fd : open)
        close(fd);
    return problem;
}

// Qt takes its scale settings as they are: "1.5", or per screen
// "name=1.5;name2=2".
std::optional<std::string> scaleSettingsProblem()
{
    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR"))
        if (auto bad = scaleSettingProblem("QT_SCALE_FACTOR", qgetenv("QT_SCALE_FACTOR").toStdString()))
            return bad;
    for (const QString& entry : qEnvironmentVariable("QT_SCREEN_SCALE_FACTORS").split(u';', Qt::SkipEmptyParts))
        if (auto bad = scaleSettingProblem("QT_SCREEN_SCALE_FACTORS", entry.section(u'=', -1).toStdString()))
            return bad;
    return std::nullopt;
}

QString foreignValue(const CommandLine& command, const char* option)
{
    const auto it = command.foreign.find(option);
    return it == command.foreign.end() ? QString() : QString::fromLocal8Bit(it->second.c_str());
}

// Why the window system could not be reached, from what the user chose
// (-platform, -display) and the environment. qtMessage is Qt's fatal
// message, which lists the platform plugins there are.
QString describeNoDisplay(const CommandLine& command, const QString& qtMessage)
{
    const QString chosen = foreignValue(command, "platform");
    const QString platform = chosen.isEmpty() ? qEnvironmentVariable("QT_QPA_PLATFORM") : chosen;
    QString x11 = foreignValue(command, "display");
    if (x11.isEmpty())
        x11 = qEnvironmentVariable("DISPLAY");
    const QString wayland = qEnvironmentVariable("WAYLAND_DISPLAY");

    // A platform is "name" or "name:arguments"; several may be given, "wayland;xcb".
    bool x11Asked = platform.isEmpty(), waylandAsked = platform.isEmpty();
    QStringList others;
    for (const QString& entry : platform.split(u';', Qt::SkipEmptyParts)) {
        const QString name = entry.section(u':', 0, 0).trimmed();
        x11Asked |= name == QLatin1String("xcb");
        waylandAsked |= name.startsWith(QLatin1String("wayland"));
        if (name != QLatin1String("xcb") && !name.startsWith(QLatin1String("wayland")))
            others << name;
    }
    if (!x11Asked && !waylandAsked) {
        QString line = QStringLiteral("cannot start the window system platform '%1' (from %2)")
                           .arg(others.join(u';'), chosen.isEmpty() ? "QT_QPA_PLATFORM" : "-platform");
        const QRegularExpression available(QStringLiteral("Available platform plugins are: ([^\\n]*?)\\.?\\s*$"),
                                           QRegularExpression::MultilineOption);
        if (const auto match = available.match(qtMessage); match.hasMatch())
            line += QStringLiteral("; there are: ") + match.captured(1);
        return line;
    }
    QStringList cannot;
    if (x11Asked && !x11.isEmpty())
        cannot << QStringLiteral("open display '%1'").arg(x11);
    if (waylandAsked && !wayland.isEmpty())
        cannot << QStringLiteral("use Wayland display '%1'").arg(wayland);
    if (cannot.isEmpty())
        return !waylandAsked ? QStringLiteral("no X display: DISPLAY is not set")
               : !x11Asked   ? QStringLiteral("no Wayland display: WAYLAND_DISPLAY is not set")
                             : QStringLiteral("no display: neither DISPLAY nor WAYLAND_DISPLAY is set");
    return "cannot " + cannot.join(QLatin1String(" nor ")) +
           (x11Asked && waylandAsked && x11.isEmpty() ? ", and DISPLAY is not set" : "");
}

// Qt's messages, held back until the window system is reached.
struct HeldMessage {
    QtMsgType type;
    QByteArray file, function, category;
    int line;
    QString text;
};

std::mutex guardMutex;
const CommandLine* guarded = nullptr;
bool reachedYet = false;
QtMessageHandler qtHandler = nullptr;
std::vector<HeldMessage> held;

void passOn(const HeldMessage& m)
{
    const auto orNull = [](const QByteArray& b) { return b.isNull() ? nullptr : b.constData(); };
    qtHandler(m.type, QMessageLogContext(orNull(m.file), m.line, orNull(m.function), orNull(m.category)), m.text);
}

// One line, then the end: nothing is worth tearing down, and Qt may be half
// way through starting. Memory may be what ran out: the program's words are
// literals, written before the detail is converted.
[[noreturn]] void endWith(const char* what, const QString& detail)
{
    std::fputs(kProgramName, stderr);
    std::fputs(what, stderr);
    try {
        std::fputs(detail.section(u'\n', 0, 0).toLocal8Bit().constData(), stderr);
    } catch (...) {
    }
    std::fputc('\n', stderr);
    std::fflush(stderr);
    std::_Exit(1);
}

void handleMessage(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    std::unique_lock lock(guardMutex);
    if (!reachedYet) {
        if (type != QtFatalMsg) {
            held.push_back({type, context.file, context.function, context.category, context.line, text});
            return;
        }
        if (qEnvironmentVariableIsSet("QT_DEBUG_PLUGINS")) // asked for Qt's account
            std::for_each(held.begin(), held.end(), passOn);
        if (text.contains(QLatin1String("platform"), Qt::CaseInsensitive))
            endWith(": ", describeNoDisplay(*guarded, text));
        // A platform found but failing (eglfs without a DRM device).
        endWith(": cannot start the window system: ", text);
    }
    // Qt's warning before it ends the program itself, with status 1 and no
    // word of the program's, when the display connection breaks (the server
    // gone, or the memory to read its replies).
    if (type == QtWarningMsg && (text.startsWith(QLatin1String("The X11 connection broke")) ||
                                 text.startsWith(QLatin1String("The Wayland connection"))))
        endWith(": the connection to the window system was lost: ", text);
    if (type == QtFatalMsg)
        endWith(": ", text);
    lock.unlock();
    qtHandler(type, context, text);
}

volatile std::sig_atomic_t endingStatus = 0;

void teardownTooLong(int)
{
    _exit(endingStatus);
}

} // namespace

StartUp::StartUp(const CommandLine& command)
{
    std::signal(SIGALRM, startUpTooLong);
    std::signal(SIGCONT, continuedAfterStop);
    startingUp = 1;
    alarm(kStartUpSeconds);
    guarded = &command;
}

std::optional<std::string> StartUp::beforeQt()
{
    if (auto bad = limitsProblem())
        return bad;
    if (auto bad = scaleSettingsProblem())
        return bad;
    std::unique_lock lock(guardMutex);
    qtHandler = qInstallMessageHandler(handleMessage);
    return std::nullopt;
}

std::optional<std::string> StartUp::reached(const QGuiApplication& app)
{
    {
        // Under the lock, so that a message from another of Qt's threads
        // comes after the held ones.
        std::unique_lock lock(guardMutex);
        std::for_each(held.begin(), held.end(), passOn);
        held = {};
        reachedYet = true;
        guarded = nullptr;
    }
    if (QGuiApplication::screens().isEmpty())
        return "the window system platform '" + QGuiApplication::platformName().toStdString() + "' has no screen";
    return scaleProblem(app.devicePixelRatio(), "QT_SCALE_FACTOR, QT_SCREEN_SCALE_FACTORS and the screen");
}

void StartUp::shown()
{
    if (!startingUp)
        return;
    startingUp = 0;
    alarm(0);
    std::signal(SIGCONT, SIG_DFL);
}

void boundTeardown(int status)
{
    constexpr unsigned kTeardownSeconds = 5;
    endingStatus = status;
    std::signal(SIGALRM, teardownTooLong);
    alarm(kTeardownSeconds);
}

} // namespace kestivo
