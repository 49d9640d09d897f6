#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace kestivo {

// The user's words, UTF-8, for a run-time error escaping a handler of the
// window named object ("Form1"): a failed drawing operation names the object
// and the operation, a floating-point fault lists the faults.
[[nodiscard]] std::string describeError(const std::exception& error, std::string_view object);

// What is said when not even the description can be made (memory is gone).
inline constexpr char kBareErrorLine[] = "run-time error";

} // namespace kestivo
