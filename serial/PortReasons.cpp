#include "serial/PortReasons.h"

#include "base/uRes.h"
#include "serial/ComErrors.h"

#include <algorithm>
#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace sornafex {

namespace {

// Room for one entry of the passwd or group database.
constexpr std::size_t kDatabaseBuffer = 16384;

} // namespace

std::string BusyReason(const std::string& device, const TDeviceTree& tree) {
    std::string reason(res::kReasonBusy);
    if (const auto holder = tree.Holder(device))
        // The number first: a program's name may itself hold "%d".
        reason +=
            res::FormatStr(res::FormatInt(res::kReasonHolderFormat, holder->pid), holder->name);
    return reason;
}

TAccessFacts AccessFacts(const std::string& device) {
    TAccessFacts facts;
    struct stat info {};
    if (::stat(device.c_str(), &info) != 0)
        return facts;
    facts.groupMayUse = (info.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);

    std::vector<char> buffer(kDatabaseBuffer);
    group entry{};
    group* found = nullptr;
    if (getgrgid_r(info.st_gid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return facts;
    facts.group = found->gr_name;
    std::vector<std::string> members;
    for (char** member = found->gr_mem; member && *member; ++member)
        members.emplace_back(*member);

    std::vector<char> userBuffer(kDatabaseBuffer);
    passwd user{};
    passwd* me = nullptr;
    if (getpwuid_r(::geteuid(), &user, userBuffer.data(), userBuffer.size(), &me) == 0 && me)
        facts.accountListed = me->pw_gid == info.st_gid || std::find(members.begin(), members.end(),
                                                                     me->pw_name) != members.end();

    std::vector<gid_t> held(static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)));
    const int count = ::getgroups(static_cast<int>(held.size()), held.data());
    held.resize(static_cast<std::size_t>(std::max(count, 0)));
    facts.sessionInGroup = ::getegid() == info.st_gid ||
                           std::find(held.begin(), held.end(), info.st_gid) != held.end();
    return facts;
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
    char buffer[256] = {};
    return res::FormatStr(res::kReasonSystemFormat,
                          CleanSystemText(strerror_r(error, buffer, sizeof buffer)));
}

} // namespace sornafex
