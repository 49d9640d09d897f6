#pragma once

#include "surface/DrawingSurface.h"

namespace kestivo {

// A routine that draws on a surface: one of the three patterns, or a
// command's own drawing.
using Routine = void (*)(DrawingSurface&);

// The three patterns. Each draws over whatever the surface shows, leaves the
// pen width at 1, and throws a RuntimeError (DrawingError or
// FloatingPointError) the moment anything fails, drawing nothing after it.

// "Patterned border": a light-yellow box, rows of 3- and 9-petal roses along
// the top and bottom, columns of 5- and 7-petal roses down the sides.
void DrawHwbk(DrawingSurface& surface);

// "Patterned ellipse": 24 five-petal roses of growing size around an arc.
void DrawHwty(DrawingSurface& surface);

// "Four small windows": four framed, filled panes, a large rose in each.
void DrawSgxc(DrawingSurface& surface);

} // namespace kestivo
