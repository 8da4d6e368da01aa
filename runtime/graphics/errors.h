// Runtime errors. An error that no handler catches ends the program with the
// standard error report (Application::reportFatal).
#pragma once

#include <stdexcept>
#include <string>

namespace rt {

// Error numbers of the forms runtime, as the standard error report shows them.
enum class ErrorCode {
    Overflow = 6,
    DivisionByZero = 11,
    FileNotFound = 53,
    PermissionDenied = 70,
    PathNotFound = 76,
    InvalidPicture = 481,
    InvalidProperty = 380,
    ObjectRequired = 424,
    DeviceIoError = 57,
    ControlArrayElementMissing = 340,
};

class RuntimeError : public std::runtime_error {
public:
    RuntimeError(ErrorCode code, const std::string& description)
        : std::runtime_error(description), code_(code) {}
    ErrorCode code() const { return code_; }
    int number() const { return int(code_); }

private:
    ErrorCode code_;
};

}  // namespace rt
