#pragma once

#include "session/CommandLine.h"

#include <QString>

#include <optional>
#include <string>

namespace kestivo {

// Qt's own options (-platform, -style, -reverse, ...): the command line
// accepts them and leaves them for QApplication.
const ForeignOptions& qtOptions();

// Qt's scale settings (QT_SCALE_FACTOR, QT_SCREEN_SCALE_FACTORS) name a
// scale the window cannot be drawn at: what is wrong, in one line, naming
// the setting; nothing if they are fine. Read before QApplication, which
// would take them as they are.
std::optional<std::string> badScaleSetting();

// The window's scale as Qt settled it, device pixels per logical pixel,
// out of the range the program works in: what is wrong, in one line.
std::optional<std::string> badScale(double scale);

// Why the window system could not be reached, in one line, from what the
// user chose (-platform, -display) and the environment (QT_QPA_PLATFORM,
// DISPLAY, WAYLAND_DISPLAY). qtMessage is Qt's own fatal message, which
// lists the platform plugins there are.
QString describeNoDisplay(const CommandLine& commandLine, const QString& qtMessage);

// Qt starts threads of its own (the display connection's reader, D-Bus,
// its image workers) and waits for them for ever if they cannot start:
// what stops as many threads as it uses from starting, in one line;
// nothing if they can.
std::optional<std::string> threadsUnavailable();

// The same for file descriptors: the display connection, GLib's wake-up
// pipes, fontconfig's files and the plugins each take some, and GLib ends
// the program with a trap when it cannot have them.
std::optional<std::string> descriptorsUnavailable();

// The event loop has ended with status: the teardown that follows gets a
// few seconds, then the program ends with that status anyway. Qt 6.4's
// Wayland client can wait for ever at exit for its event thread, which
// waits in its turn for a read that never comes.
void boundTeardown(int status);

// Qt's messages in the program's terms. Until the window system is reached,
// they are held back: if it cannot be, Qt would end the program with a fatal
// message (SIGABRT, a core file, and advice to reinstall); instead the
// program prints one line saying what is missing and exits with status 1.
// Once reached, the held messages are passed on in order, and from then on a
// fatal message, or a lost display connection (which Qt would end with its
// own words alone), ends the program with one line and status 1, not an
// abort.
void guardQtMessages(const CommandLine& commandLine);
void windowSystemReached();

} // namespace kestivo
