#pragma once

#include "program/CommandLine.h"

#include <optional>
#include <string>

class QGuiApplication;

namespace kestivo {

// Qt's own options (-platform, -style, -reverse, ...): the command line
// accepts them and leaves them for QApplication.
const ForeignOptions& qtOptions();

// The way from the command line to a shown window, for what Qt does not
// bound or report in the program's terms: each step says in one line why
// start-up cannot go on, or nothing. Made when the command line says run;
// from then until shown(), start-up has a time limit (time stopped with
// Ctrl-Z does not count), after which the program ends with one line and
// status 1.
class StartUp {
public:
    explicit StartUp(const CommandLine& command);
    ~StartUp() { shown(); }
    StartUp(const StartUp&) = delete;
    StartUp& operator=(const StartUp&) = delete;

    // Before QApplication: too few threads or file descriptors for Qt (which
    // would hang or trap), or a scale setting the window cannot be drawn at.
    // Then Qt's messages are held back until the window system is reached;
    // a failure to reach it ends the program with one line saying what is
    // missing, not Qt's abort.
    [[nodiscard]] std::optional<std::string> beforeQt();
    // After QApplication: no screen, or a scale out of range. Passes on the
    // held messages; from now on a fatal message of Qt's, or a lost display
    // connection, ends the program with one line and status 1.
    [[nodiscard]] std::optional<std::string> reached(const QGuiApplication& app);
    // The window is shown with its fonts loaded: start-up is over.
    void shown();
};

// The event loop has ended with status: the teardown that follows gets a
// few seconds, then the program ends with that status anyway. Qt 6.4's
// Wayland client can wait for ever at exit for its event thread, which
// waits in its turn for a read that never comes.
void boundTeardown(int status);

} // namespace kestivo
