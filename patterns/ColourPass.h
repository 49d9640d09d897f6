#pragma once

#include "surface/Palette.h"

namespace kestivo {

// Draws a whole pattern once per colour index: first, first + change, ...,
// stopping as soon as the index equals stop (tested after each pass, so the
// first pass is always drawn and stop never is).
struct ColourPass {
    ColourIndex first;
    int change; // +1 or -1
    ColourIndex stop;

    template <typename Body>
    void forEach(Body&& body) const
    {
        ColourIndex index = first;
        do {
            body(index);
            index += change;
        } while (index != stop);
    }
};

} // namespace kestivo
