#pragma once

// A pseudo-terminal for the tests of the tty device and what uses it: the device under test is
// the slave side, the test holds the master. Header-only.

#include <fcntl.h>
#include <stdlib.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace sornafex::test {

class TPty {
public:
    TPty() {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            return;
        char name[128] = {};
        if (::ptsname_r(m_master, name, sizeof name) == 0)
            m_slave = name;
    }
    ~TPty() { CloseMaster(); }
    TPty(const TPty&) = delete;
    TPty& operator=(const TPty&) = delete;

    bool Ok() const { return m_master >= 0 && !m_slave.empty(); }
    // The other side goes away: the slave is hung up, as a tty whose adapter was unplugged.
    void CloseMaster() {
        if (m_master >= 0)
            ::close(std::exchange(m_master, -1));
    }
    int Master() const { return m_master; }
    const std::string& Slave() const { return m_slave; }
    // The slave's termios, as the master side sees it.
    termios Termios() const {
        termios t{};
        ::tcgetattr(m_master, &t);
        return t;
    }

private:
    int m_master = -1;
    std::string m_slave;
};

} // namespace sornafex::test
