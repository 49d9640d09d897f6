// Kestivo1 in a browser: the page's entry points, which its script
// (page.js) calls from the browser's events and animation frames. Each
// returns at once: the browser's event loop is the only one.

#include "session/Session.h"
#include "web/Page.h"

#include <emscripten.h>

#include <memory>

namespace {
std::unique_ptr<kestivo::Page> page;
}

extern "C" {

EMSCRIPTEN_KEEPALIVE int kestivo_press(int button, double stampMs)
{
    return page && page->press(button, stampMs) ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE int kestivo_discards(double stampMs)
{
    return !page || page->discards(stampMs) ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE void kestivo_rescale(double scale)
{
    if (page)
        page->session().rescale(scale);
}

// An animation frame's time stamp: performance.now()'s clock.
EMSCRIPTEN_KEEPALIVE void kestivo_frame(double nowMs)
{
    if (page)
        page->session().frame(nowMs);
}

EMSCRIPTEN_KEEPALIVE void kestivo_error_dismissed()
{
    if (page)
        page->session().errorDismissed();
}

} // extern "C"

int main()
{
    page = std::make_unique<kestivo::Page>(emscripten_get_device_pixel_ratio());
    // The form and its picture are on the page: what load-time figures time.
    EM_ASM(performance.mark('kestivo1-shown'));
    return 0;
}
