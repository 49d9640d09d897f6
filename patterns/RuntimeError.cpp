#include "RuntimeError.h"

namespace kestivo {

namespace {
std::string describeFlags(unsigned flags)
{
    std::string text;
    const auto add = [&text](const char* what) {
        if (!text.empty())
            text += ", ";
        text += what;
    };
    if (flags & FloatingPointError::Invalid)
        add("invalid operation");
    if (flags & FloatingPointError::DivideByZero)
        add("division by zero");
    if (flags & FloatingPointError::Overflow)
        add("overflow");
    return text;
}
} // namespace

DrawingError::DrawingError(std::string object, std::string operation)
    : RuntimeError(object + '.' + operation + ": the drawing operation failed"),
      object_(std::move(object)), operation_(std::move(operation))
{
}

FloatingPointError::FloatingPointError(unsigned flags)
    : RuntimeError("floating-point error: " + describeFlags(flags)), flags_(flags)
{
}

} // namespace kestivo
