// Kestivo1 in a browser: the page's entry points. The script (page.js)
// calls these; a routine runs inside kestivo_run_queued, which the script
// awaits, so the page stays live while it draws.

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
        page->rescale(scale);
}

EMSCRIPTEN_KEEPALIVE void kestivo_run_queued()
{
    if (page)
        page->runQueued();
}

} // extern "C"

int main()
{
    page = std::make_unique<kestivo::Page>(emscripten_get_device_pixel_ratio());
    // The form and its picture are on the page: what load-time figures time.
    EM_ASM(performance.mark('kestivo1-shown'));
    return 0;
}
