#pragma once

// A pseudo-terminal for the tests of the tty device and what uses it: the device under test is
// the slave side, the test holds the master. Header-only.

#include "base/unique_fd.h"

#include <fcntl.h>
#include <stdlib.h>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace sornafex::test {

class TPty {
public:
    TPty() : m_master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
        if (!m_master.Valid() || ::grantpt(m_master.Get()) != 0 || ::unlockpt(m_master.Get()) != 0)
            return;
        char name[128] = {};
        if (::ptsname_r(m_master.Get(), name, sizeof name) == 0)
            m_slave = name;
    }

    bool Ok() const { return m_master.Valid() && !m_slave.empty(); }
    // The other side goes away: the slave is hung up, as a tty whose adapter was unplugged.
    void CloseMaster() { m_master.Reset(); }
    int Master() const { return m_master.Get(); }
    const std::string& Slave() const { return m_slave; }
    // The slave's termios, as the master side sees it.
    termios Termios() const {
        termios t{};
        ::tcgetattr(m_master.Get(), &t);
        return t;
    }

private:
    TUniqueFd m_master;
    std::string m_slave;
};

} // namespace sornafex::test
