#include "serial/port_reasons.h"

#include "base/uRes.h"
#include "serial/com_errors.h"

namespace sornafex {

std::string HolderText(const std::optional<THolder>& holder) {
    if (!holder)
        return {};
    // The number first: a program's name may itself hold "%d".
    return res::FormatStr(res::FormatInt(res::kReasonHolderFormat, holder->pid), holder->name);
}

std::string AccessDeniedReason(const TAccessFacts& facts) {
    // A group that may not use the device, or one the session already holds, would not help.
    if (facts.group.empty() || !facts.groupMayUse || facts.sessionInGroup)
        return std::string(res::kReasonDenied);
    return res::FormatStr(facts.accountListed ? res::kReasonDeniedReloginFormat
                                              : res::kReasonDeniedGroupFormat,
                          facts.group);
}

std::string RefusedSettingReason(const TComSettings& settings, bool baudTaken) {
    if (!baudTaken)
        return res::FormatInt(res::kUnsupportedBaudFormat, settings.baud);
    if (settings.byteSize < 5 || settings.byteSize > 8)
        return res::FormatInt(res::kUnsupportedByteSizeFormat, settings.byteSize);
    if (settings.parity > 4)
        return res::FormatInt(res::kUnsupportedParityFormat, settings.parity);
    if (settings.stopBits > kTwoStopBits)
        return res::FormatInt(res::kUnsupportedStopBitsFormat, settings.stopBits);
    return {};
}

std::string SystemReason(int error) {
    return res::FormatStr(res::kReasonSystemFormat, CleanSystemText(ErrnoText(error)));
}

} // namespace sornafex
