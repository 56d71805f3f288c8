#pragma once
// The runtime's exceptions. Every error the program raises derives from
// Exception, whose message is what the default error handler shows. The
// runtime's own texts are German, as the program's users always saw them.
#include <exception>
#include <string>

class Exception : public std::exception {
public:
    explicit Exception(std::string Message) : FMessage(std::move(Message)) {}
    const std::string& Message() const noexcept { return FMessage; }
    const char* what() const noexcept override { return FMessage.c_str(); }

private:
    std::string FMessage;
};

// A failed file operation; ErrorCode is the Windows error code the message
// was chosen by (2 file not found, 3 path not found, 5 access denied, ...).
class EInOutError : public Exception {
public:
    explicit EInOutError(int ErrorCode);
    int ErrorCode;
};

// A text that is no valid number.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// A value outside the range a list or a type can take.
class ERangeError : public Exception {
public:
    ERangeError();
};

// Memory for a list or a picture cannot be had.
class EOutOfMemory : public Exception {
public:
    EOutOfMemory();
};

// The message of an I/O error code.
std::string InOutErrorMessage(int ErrorCode);
