#include "program/ErrorText.h"

#include "patterns/RuntimeError.h"
#include "form/Texts.h"

namespace kestivo {

namespace {
// The text with its %1 replaced by argument.
std::string fill(const char16_t* text, const std::string& argument)
{
    std::string s = texts::utf8(text);
    if (const auto at = s.find("%1"); at != std::string::npos)
        s.replace(at, 2, argument);
    return s;
}

const char16_t* faultName(FloatingPointError::Flag flag)
{
    switch (flag) {
    case FloatingPointError::Invalid:
        return texts::kInvalidOperation;
    case FloatingPointError::DivideByZero:
        return texts::kDivisionByZero;
    case FloatingPointError::Overflow:
        break;
    }
    return texts::kOverflow;
}
} // namespace

std::string describeError(const std::exception& error, std::string_view object)
{
    if (const auto* drawing = dynamic_cast<const DrawingError*>(&error))
        return fill(texts::kDrawingFailed, std::string(object) + '.' + drawing->operation());
    if (const auto* fp = dynamic_cast<const FloatingPointError*>(&error)) {
        std::string faults;
        FloatingPointError::forEachFault(fp->flags(), [&](FloatingPointError::Flag f) {
            if (!faults.empty())
                faults += texts::utf8(texts::kListSeparator);
            faults += texts::utf8(faultName(f));
        });
        return fill(texts::kFloatingPoint, faults);
    }
    return fill(texts::kOtherError, error.what());
}

} // namespace kestivo
