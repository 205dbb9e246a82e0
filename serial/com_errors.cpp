#include "serial/com_errors.h"

#include "serial/com_device.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>

namespace sornafex {

namespace {

struct TErrorRow {
    int code; // absolute value
    std::string_view message;
};

// Sorted by code: ErrorText bisects it.
constexpr std::array kErrorTable{
    TErrorRow{2, "File not found"},
    TErrorRow{3, "Path not found"},
    TErrorRow{4, "Too many open files"},
    TErrorRow{5, "File access denied"},
    TErrorRow{6, "Invalid file handle"},
    TErrorRow{8, "Insufficient memory"},
    TErrorRow{15, "Invalid drive"},
    TErrorRow{18, "No more files"},
    TErrorRow{100, "Attempt to read beyond end of file"},
    TErrorRow{101, "Disk is full"},
    TErrorRow{102, "File/device not assigned"},
    TErrorRow{103, "File/device not open"},
    TErrorRow{104, "File/device not open for input"},
    TErrorRow{105, "File/device not open for output"},
    TErrorRow{150, "Disk is write-protected"},
    TErrorRow{151, "Unknown disk unit"},
    TErrorRow{152, "Drive is not ready"},
    TErrorRow{153, "Unknown command"},
    TErrorRow{154, "Data error"},
    TErrorRow{155, "Bad request structure length"},
    TErrorRow{156, "Seek error"},
    TErrorRow{157, "Unknown media type"},
    TErrorRow{158, "Disk sector not found"},
    TErrorRow{159, "Printer is out of paper"},
    TErrorRow{160, "Device write error"},
    TErrorRow{161, "Device read error"},
    TErrorRow{162, "General failure"},
    TErrorRow{1002, "Bad argument passed to function"},
    TErrorRow{2001, "ie_BadId - Specified comport doesn't exist"},
    TErrorRow{2007, "ie_NOpen - device not open"},
    TErrorRow{2008, "ie_Open - device already open"},
    TErrorRow{2011, "The ComNumber property of the TComPort has not been set"},
};

static_assert(std::is_sorted(kErrorTable.begin(), kErrorTable.end(),
                             [](const TErrorRow& a, const TErrorRow& b) {
                                 return a.code < b.code;
                             }));

std::string TableText(int code) {
    const auto row = std::lower_bound(kErrorTable.begin(), kErrorTable.end(), code,
                                      [](const TErrorRow& r, int c) { return r.code < c; });
    return std::string(row->message);
}

constexpr std::string_view kSerialException = "Serial port exception";

} // namespace

std::string CleanSystemText(std::string_view raw) {
    if (raw.size() > 255)
        raw = raw.substr(0, 255);
    std::string clean;
    clean.reserve(raw.size());
    for (char c : raw) {
        const char mapped = static_cast<unsigned char>(c) < 32 ? ' ' : c;
        if (mapped == ' ' && !clean.empty() && clean.back() == ' ')
            continue;
        clean += mapped;
    }
    return clean;
}

std::string ErrnoText(int error) {
    char buffer[256] = {};
    // The GNU strerror_r may return a static string instead of filling the buffer.
    const char* text = strerror_r(error, buffer, sizeof buffer - 1);
    return text ? text : "";
}

int SystemCodeFromErrno(int error) {
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case EIO:
    case ENOTTY:
        return kSysFileNotFound;
    case EBUSY:
        return kSysAccessDenied;
    case ENOMEM:
        return kSysNotEnoughMemory;
    case EMFILE:
    case ENFILE:
        return kSysTooManyOpenFiles;
    default:
        return kSysErrnoBase + error;
    }
}

ESerialException::ESerialException(std::string message, int errorCode)
    : m_message(std::move(message)), m_errorCode(errorCode) {}

EBadId::EBadId() : EOpenComm(TableText(2001), ecBadId) {}
ECommNotOpen::ECommNotOpen() : EOpenComm(TableText(2007), ecNotOpen) {}
EAlreadyOpen::EAlreadyOpen() : EOpenComm(TableText(2008), ecAlreadyOpen) {}
ENoPortSelected::ENoPortSelected() : EOpenComm(TableText(2011), ecNoPortSelected) {}
EBadArgument::EBadArgument() : EGeneral(TableText(1002), ecBadArgument) {}
namespace {

bool HasRow(int code) {
    return std::binary_search(
        kErrorTable.begin(), kErrorTable.end(), TErrorRow{code, {}},
        [](const TErrorRow& a, const TErrorRow& b) { return a.code < b.code; });
}

bool PlatformNumber(int code) {
    return code <= -kSysErrnoBase || code >= kSysErrnoBase;
}

} // namespace

EInOutError::EInOutError(int systemCode, std::string_view deviceText)
    : ESerialException(HasRow(systemCode) || deviceText.empty() ? ErrorText(systemCode)
                                                                : std::string(deviceText),
                       -systemCode),
      m_systemCode(systemCode) {}

ESystemError::ESystemError(int code, std::string_view deviceText)
    : ESerialException(deviceText.empty() ? ErrorText(code) : std::string(deviceText), code) {}

int ESystemError::SystemErrno() const noexcept {
    const int code = ErrorCode();
    return (code < 0 ? -code : code) - kSysErrnoBase;
}

int RaiseForCode(int code, std::string_view deviceText) {
    if (code >= 0)
        return code;
    switch (code) {
    case ecBadId:
        throw EBadId();
    case ecNotOpen:
        throw ECommNotOpen();
    case ecAlreadyOpen:
        throw EAlreadyOpen();
    case ecNoPortSelected:
        throw ENoPortSelected();
    case ecBadArgument:
        throw EBadArgument();
    case ecOutOfMemory:
        throw std::bad_alloc();
    default:
        break;
    }
    if (code <= -2 && code >= -162)
        throw EInOutError(-code, deviceText);
    if (PlatformNumber(code))
        throw ESystemError(code, deviceText);
    throw ESerialException(std::string(kSerialException), 0);
}

std::string ErrorText(int n) {
    const int code = n < 0 ? -n : n;
    const auto row = std::lower_bound(kErrorTable.begin(), kErrorTable.end(), code,
                                      [](const TErrorRow& r, int c) { return r.code < c; });
    if (row != kErrorTable.end() && row->code == code)
        return std::string(row->message);
    // Below the platform's numbers every system code is one the table numbers itself: asking
    // the system about it would name an unrelated error that happens to share the number.
    if (!PlatformNumber(code))
        return std::string(kSerialException);
    return CleanSystemText(ErrnoText(code - kSysErrnoBase));
}

} // namespace sornafex
