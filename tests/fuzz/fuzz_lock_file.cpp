// A serial port's lock file (/var/lock/LCK..ttyUSB0) as another program left it: only its first
// 128 bytes are read, and it names a process or none.
#include "link/UucpLock.h"

#include <QByteArray>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray content(reinterpret_cast<const char*>(data),
                             qsizetype(std::min<size_t>(size, 128)));
    const qint64 owner = comm::lockFileOwner(content);
    if (owner < 0 || owner > INT_MAX)
        abort();
    // What this program writes itself is read back as written.
    if (owner > 0 &&
        comm::lockFileOwner(QByteArray::number(owner).rightJustified(10, ' ') + '\n') != owner)
        abort();
    return 0;
}
