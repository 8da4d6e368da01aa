// Runtime errors. An error that no handler catches ends the program with the
// standard error report (Application::reportFatal).
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

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
    // The description is the runtime's standard text for the error number;
    // the reason, where the system gave one, says in plain words what went
    // wrong ("no space left on the device").
    RuntimeError(ErrorCode code, const std::string& description, std::string reason = {})
        : std::runtime_error(description), code_(code), reason_(std::move(reason)) {}
    ErrorCode code() const { return code_; }
    int number() const { return int(code_); }
    const std::string& reason() const { return reason_; }

private:
    ErrorCode code_;
    std::string reason_;
};

}  // namespace rt
