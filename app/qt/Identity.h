#pragma once

class QApplication;

namespace kestivo {

// The program's identity at run time: names and version, the window icon,
// and the Chinese (PRC) locale, with Qt's own texts (the buttons of the
// error message box) in Chinese where Qt's translations are installed.
void applyIdentity(QApplication& app);

} // namespace kestivo
