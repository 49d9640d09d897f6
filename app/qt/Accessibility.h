#pragma once

namespace kestivo {

// What a screen reader is told of Form1 beyond Qt's own: the window is a
// frame named by its caption and busy while a pattern is drawn; the picture
// is an image, described by what is drawn on it; and the buttons, while the
// window is busy, are not sensitive and take no press. Installed once,
// before the window is built.
void installAccessibility();

} // namespace kestivo
