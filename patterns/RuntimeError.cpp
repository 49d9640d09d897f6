#include "patterns/RuntimeError.h"

namespace kestivo {

namespace {
std::string describeFlags(unsigned flags)
{
    std::string text;
    FloatingPointError::forEachFault(flags, [&text](FloatingPointError::Flag f) {
        if (!text.empty())
            text += ", ";
        text += f == FloatingPointError::Invalid        ? "invalid operation"
                : f == FloatingPointError::DivideByZero ? "division by zero"
                                                        : "overflow";
    });
    return text;
}
} // namespace

DrawingError::DrawingError(std::string operation)
    : RuntimeError(operation + ": the drawing operation failed"), operation_(std::move(operation))
{
}

FloatingPointError::FloatingPointError(unsigned flags)
    : RuntimeError("floating-point error: " + describeFlags(flags)), flags_(flags)
{
}

} // namespace kestivo
