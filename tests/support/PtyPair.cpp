#include "PtyPair.h"

#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    char name[256] = {};
    if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    // Raw mode on both ends: the line discipline must not touch control characters such as EOT.
    termios tio{};
    if (tcgetattr(m_slave, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(m_slave, TCSANOW, &tio);
    }
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    // Programs the test starts must not hold the line open after the test lets it go.
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    m_slavePath = QString::fromLocal8Bit(name);
}

PtyPair::~PtyPair()
{
    for (const int fd : {m_slave, m_master}) {
        if (fd >= 0)
            ::close(fd);
    }
}

bool PtyPair::write(const QByteArray& bytes)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        done += n > 0 ? n : 0;
    }
    return true;
}

QByteArray PtyPair::readAvailable()
{
    QByteArray out;
    char buffer[512];
    for (ssize_t n; (n = ::read(m_master, buffer, sizeof buffer)) > 0;)
        out.append(buffer, n);
    return out;
}
