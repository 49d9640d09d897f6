#pragma once

#include "patterns/RuntimeError.h"
#include "surface/DrawingSurface.h"

namespace kestivo {

// Every drawing call's status is checked; a failure is a run-time error
// naming the operation. (Whoever reports it names the surface's owner.)
inline void checkStatus(Status status, const char* operation)
{
    if (status != Status::Ok) [[unlikely]]
        throw DrawingError(operation);
}

} // namespace kestivo
