#pragma once

#include <stdexcept>
#include <string>

// A programming error caught by the runtime: an unrecognized selector, a send whose argument or
// result types disagree with the method's type encoding, a class registered twice. The device
// raises an exception for these too; it is never used for bad input.
class RuntimeError : public std::logic_error {
public:
    explicit RuntimeError(const std::string& message) : std::logic_error(message) {}
};
