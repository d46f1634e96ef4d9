#pragma once

#include <QString>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace testing_support {

// A pseudo-terminal nobody answers on: a device that opens but is not a modem.
struct SilentDevice
{
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    QString path;

    SilentDevice()
    {
        if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0)
            path = QString::fromLocal8Bit(ptsname(master));
    }
    ~SilentDevice()
    {
        if (master >= 0)
            ::close(master);
    }
    SilentDevice(const SilentDevice&) = delete;
    SilentDevice& operator=(const SilentDevice&) = delete;
};

} // namespace testing_support
