#pragma once

#include "DrawingSurface.h"
#include "RuntimeError.h"

namespace kestivo {

// The window object whose client area every surface draws on.
inline constexpr const char* kSurfaceObject = "Form1";

// Every drawing call's status is checked; a failure is a run-time error
// naming the object and the operation.
inline void checked(Status status, const char* operation)
{
    if (status != Status::Ok) [[unlikely]]
        throw DrawingError(kSurfaceObject, operation);
}

} // namespace kestivo
