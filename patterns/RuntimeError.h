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

// A drawing operation reported failure. Names the window object that owns the
// surface and the operation, e.g. "Form1" and "PSet".
class DrawingError : public RuntimeError {
public:
    DrawingError(std::string object, std::string operation);

    [[nodiscard]] const std::string& object() const { return object_; }
    [[nodiscard]] const std::string& operation() const { return operation_; }
    // "Form1.PSet"
    [[nodiscard]] std::string qualifiedName() const { return object_ + '.' + operation_; }

private:
    std::string object_;
    std::string operation_;
};

// The routine's own arithmetic hit an invalid operation, a division by zero
// or an overflow.
class FloatingPointError : public RuntimeError {
public:
    enum Flag : unsigned { Invalid = 1, DivideByZero = 2, Overflow = 4 };

    explicit FloatingPointError(unsigned flags);

    [[nodiscard]] unsigned flags() const { return flags_; }

private:
    unsigned flags_;
};

} // namespace kestivo
