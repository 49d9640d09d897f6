#pragma once

#include <stdexcept>
#include <string>

namespace kestivo {

// A run-time error of the drawing program: nothing traps it, the window
// reports it to the user and the program ends.
class RuntimeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A drawing operation reported failure. Names the operation, e.g. "PSet";
// the surface's owner (the window) is named by whoever reports it.
class DrawingError : public RuntimeError {
public:
    explicit DrawingError(std::string operation);

    [[nodiscard]] const std::string& operation() const { return operation_; }

private:
    std::string operation_;
};

// The routine's own arithmetic hit an invalid operation, a division by zero
// or an overflow.
class FloatingPointError : public RuntimeError {
public:
    enum Flag : unsigned { Invalid = 1, DivideByZero = 2, Overflow = 4 };

    explicit FloatingPointError(unsigned flags);

    [[nodiscard]] unsigned flags() const { return flags_; }

    // Each fault in flags, in the order Invalid, DivideByZero, Overflow.
    template <typename Each>
    static void forEachFault(unsigned flags, Each&& each)
    {
        for (Flag f : {Invalid, DivideByZero, Overflow})
            if (flags & f)
                each(f);
    }

private:
    unsigned flags_;
};

} // namespace kestivo
