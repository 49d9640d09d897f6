#include "web/Page.h"

#include "surface/DrawingSurface.h"

namespace kestivo {

std::unique_ptr<DrawingSurface> wrapPictureSurface(DrawingSurface&)
{
    return nullptr;
}

} // namespace kestivo
