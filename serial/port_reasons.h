#pragma once

// Why a port is closed, in the words the user reads (French, from the message table): the
// device is absent, lost, held by another program (and by which, when /proc shows it), or this
// account may not use it (and which group would let it). The serial layer keeps these as the
// device's LastErrorText(), so the status bar's tooltip and the error box say the same.

#include "serial/com_device.h"
#include "serial/device_tree.h"

#include <optional>
#include <string>

namespace sornafex {

// Who holds a busy device, to follow "occupé par un autre programme": " : name (pid n)", or
// nothing when /proc shows nobody.
std::string HolderText(const std::optional<THolder>& holder);

// "accès refusé : ce compte n'est pas dans le groupe « dialout »", or the same advice to log in
// again when the account is listed but the session does not hold the group yet; plain
// "accès refusé" when no group would help.
std::string AccessDeniedReason(const TAccessFacts& facts);

// Why a device refuses settings, naming the first value it has no form for: the baud rate when
// baudTaken is false, else a byte size, parity or stop-bit code out of range ("vitesse 14400 non
// prise en charge"). Empty when none is.
std::string RefusedSettingReason(const TComSettings& settings, bool baudTaken);

// "erreur du système : " and the system's text for error, for failures without words of ours.
std::string SystemReason(int error);

} // namespace sornafex
