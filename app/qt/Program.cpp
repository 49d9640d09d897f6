#include "qt/Program.h"

#include "qt/Canvas.h"
#include "qt/Fonts.h"
#include "qt/Form1.h"
#include "qt/Identity.h"
#include "qt/StartUp.h"
#include "session/CommandLine.h"
#include "session/ErrorText.h"
#include "session/Product.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QFontMetricsF>
#include <QLabel>
#include <QTimer>

#include <algorithm>
#include <array>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <langinfo.h>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace kestivo {

namespace {

// Start-up has this long to build and show the window. The libraries it
// goes through may spin for good on a failure of theirs (fontconfig retries
// its set-up for ever when memory has run out); then the program says so and
// ends. Start-up is over once the window is shown with its fonts loaded,
// painted or not: a window opened minimised, on another workspace or
// covered is no failure. Time spent stopped (Ctrl-Z) does not count either.
constexpr unsigned kStartUpSeconds = 30;
volatile std::sig_atomic_t startingUp = 0;

// Made before any signal, as a handler may only write and end.
constexpr auto kTooLongLine = [] {
    constexpr std::string_view name = kProgramName;
    constexpr std::string_view rest = ": the window could not be shown: start-up did not finish\n";
    std::array<char, name.size() + rest.size()> line{};
    std::copy(name.begin(), name.end(), line.begin());
    std::copy(rest.begin(), rest.end(), line.begin() + std::ptrdiff_t(name.size()));
    return line;
}();

void startUpTooLong(int)
{
    (void)!write(STDERR_FILENO, kTooLongLine.data(), kTooLongLine.size());
    _exit(1);
}

void continuedAfterStop(int)
{
    if (startingUp)
        alarm(kStartUpSeconds);
}

class StartUpWatch {
public:
    StartUpWatch()
    {
        std::signal(SIGALRM, startUpTooLong);
        std::signal(SIGCONT, continuedAfterStop);
        startingUp = 1;
        alarm(kStartUpSeconds);
    }
    ~StartUpWatch() { finished(); }
    StartUpWatch(const StartUpWatch&) = delete;
    StartUpWatch& operator=(const StartUpWatch&) = delete;

    void finished()
    {
        startingUp = 0;
        alarm(0);
        std::signal(SIGCONT, SIG_DFL);
    }
};

// The faces the window's texts need, loaded now, fallbacks for their
// characters included, rather than at its first paint.
void loadFonts(const QWidget& window)
{
    for (const QWidget* w : window.findChildren<const QWidget*>()) {
        QString text;
        if (const auto* label = qobject_cast<const QLabel*>(w))
            text = label->text();
        else if (const auto* button = qobject_cast<const QAbstractButton*>(w))
            text = button->text();
        if (!text.isEmpty())
            (void)QFontMetricsF(w->font()).boundingRect(text);
    }
}

// Runs done once the first paint of widget is over.
void whenFirstPainted(QWidget& widget, std::function<void()> done)
{
    struct Watch final : QObject {
        std::function<void()> done;
        bool eventFilter(QObject* watched, QEvent* event) override
        {
            if (event->type() == QEvent::Paint) {
                watched->removeEventFilter(this);
                QTimer::singleShot(0, this, [this] {
                    done();
                    deleteLater();
                });
            }
            return false;
        }
    };
    auto* watch = new Watch;
    watch->setParent(&widget);
    watch->done = std::move(done);
    widget.installEventFilter(watch);
}

// One line on standard error, and the status that goes with it.
int refuse(const std::string& why)
{
    std::fprintf(stderr, "%s: %s\n", kProgramName, why.c_str());
    return 1;
}

// What stops the program before the window system is reached.
std::optional<std::string> environmentProblem()
{
    if (auto bad = threadsUnavailable())
        return bad;
    if (auto bad = descriptorsUnavailable())
        return bad;
    return badScaleSetting();
}

// What the window system, now reached, offers that the window cannot use.
std::optional<std::string> windowSystemProblem(const QApplication& app)
{
    if (QGuiApplication::screens().isEmpty())
        return "the window system platform '" + QGuiApplication::platformName().toStdString() + "' has no screen";
    return badScale(app.devicePixelRatio());
}

} // namespace

int runProgram(int argc, char* argv[], const std::function<void(Form1&)>& shown)
{
    // Nothing thrown may end the program with an abort and a core file;
    // the line is a literal, as memory may be what ran out.
    std::set_terminate([] {
        std::fprintf(stderr, "%s: %s\n", kProgramName, kBareErrorLine);
        std::_Exit(1);
    });
    const CommandLine command = parseCommandLine(std::vector<std::string>(argv, argv + argc), qtOptions());
    switch (command.action) {
    case CommandLine::Action::Help:
    case CommandLine::Action::Version:
        std::printf("%s\n", command.text.c_str());
        return 0;
    case CommandLine::Action::UsageError:
        std::fprintf(stderr, "%s\n", command.text.c_str());
        return kUsageErrorStatus;
    case CommandLine::Action::Run:
        break;
    }
    StartUpWatch watch;
    if (const auto bad = environmentProblem())
        return refuse(*bad);

    guardQtMessages(command);
    QApplication app(argc, argv);
    windowSystemReached();
    if (const auto bad = windowSystemProblem(app))
        return refuse(*bad);
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
    // A reported failure ends the program at once: nothing is kept, and
    // neither an event loop nor a teardown is run that memory may no longer
    // carry. 退出 and closing end through the event loop, which first sends
    // what it owes (a screen reader's answer to a press of 退出).
    options.exit = [](int status) {
        if (status != 0) {
            std::fflush(nullptr);
            std::_Exit(status);
        }
        QCoreApplication::exit(status);
    };
    std::unique_ptr<Form1> form;
    try {
        form = std::make_unique<Form1>(std::move(options));
        // The picture covers the window: its paint is the window's.
        if (shown)
            whenFirstPainted(form->canvas(), [&shown, &form] { shown(*form); });
        form->show();
        loadFonts(*form);
        watch.finished();
    } catch (const std::exception& error) {
        return refuse(std::string("cannot build the window: ") + error.what());
    }
    const int status = app.exec();
    boundTeardown(status);
    return status;
}

} // namespace kestivo
