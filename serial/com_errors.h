#pragma once

// Result codes of the serial layer and the exceptions they become at the port component's
// boundary. Dispatcher operations return 0 for success, a positive value when nothing was done and
// a negative value for failure; −2 to −162 are negated system codes of the code table, and codes
// from −kSysErrnoBase down are the platform's own error numbers lifted clear of every code the
// table knows (see com_device.h for the numbering of system codes).

#include <exception>
#include <string>
#include <string_view>

namespace sornafex {

// Codes of the serial layer that the program can meet.
inline constexpr int ecOK = 0;
inline constexpr int ecOutOfMemory = -8;
inline constexpr int ecBadArgument = -1002;
inline constexpr int ecBadId = -2001;
inline constexpr int ecNotOpen = -2007;
inline constexpr int ecAlreadyOpen = -2008;
inline constexpr int ecNoPortSelected = -2011;

// Every serial-layer exception carries the result code it was raised for (0 when the code had no
// class of its own). what() is the message of the code table.
class ESerialException : public std::exception {
public:
    ESerialException(std::string message, int errorCode);
    const char* what() const noexcept override { return m_message.c_str(); }
    int ErrorCode() const noexcept { return m_errorCode; }

private:
    std::string m_message;
    int m_errorCode;
};

// Categories.
class EOpenComm : public ESerialException {
    using ESerialException::ESerialException;
};
class EGeneral : public ESerialException {
    using ESerialException::ESerialException;
};

// −2001 "ie_BadId - Specified comport doesn't exist"
class EBadId : public EOpenComm {
public:
    EBadId();
};
// −2007 "ie_NOpen - device not open"
class ECommNotOpen : public EOpenComm {
public:
    ECommNotOpen();
};
// −2008 "ie_Open - device already open"
class EAlreadyOpen : public EOpenComm {
public:
    EAlreadyOpen();
};
// −2011 "The ComNumber property of the TComPort has not been set"
class ENoPortSelected : public EOpenComm {
public:
    ENoPortSelected();
};
// −1002 "Bad argument passed to function"
class EBadArgument : public EGeneral {
public:
    EBadArgument();
};
// A system failure n (2 ≤ n ≤ 162) without a class of its own: ErrorCode() is −n,
// InOutErrorCode() is n and the message is the table's row for n, else the device's own words
// when it gave some, else ErrorText(n).
class EInOutError : public ESerialException {
public:
    explicit EInOutError(int systemCode, std::string_view deviceText = {});
    int InOutErrorCode() const noexcept { return m_systemCode; }

private:
    int m_systemCode;
};

// A failure that only the platform's own error number names (code −(kSysErrnoBase + errno)):
// ErrorCode() is the result code, SystemErrno() the number, and the message the device's own
// words when it gave some, else the system's text for the number.
class ESystemError : public ESerialException {
public:
    ESystemError(int code, std::string_view deviceText = {});
    int SystemErrno() const noexcept;
};

// Returns code unchanged when it is 0 or more; otherwise throws the exception of the code table:
// the classes above, std::bad_alloc for −8, EInOutError for other codes from −2 to −162,
// ESystemError for the platform's own numbers, and a plain ESerialException (code 0, "Serial port
// exception") for any other negative code. deviceText: the device's words for the failure that
// gave code, used where the table has no text of its own.
int RaiseForCode(int code, std::string_view deviceText = {});

// The message for n (a result code or a system code, looked up by absolute value): the table's
// row when there is one; for the platform's own numbers the system's text, with every character
// below 32 turned into a space and runs of spaces collapsed to one; "Serial port exception" for
// any other code, which no system names.
std::string ErrorText(int n);

// A system message as ErrorText shows it: at most 255 characters, every character below 32 turned
// into a space, runs of spaces collapsed to one.
std::string CleanSystemText(std::string_view raw);

// The system's text for the error number error, as it gives it.
std::string ErrnoText(int error);

// The system code (com_device.h's numbering) of a failed system call's errno: ENOENT, ENODEV,
// ENXIO, EIO, ENOTTY → 2 (no such device); EBUSY → 5 (held by another program); ENOMEM → 8;
// EMFILE, ENFILE → 4; anything else, EACCES and EPERM included, kSysErrnoBase + errno.
int SystemCodeFromErrno(int error);

} // namespace sornafex
