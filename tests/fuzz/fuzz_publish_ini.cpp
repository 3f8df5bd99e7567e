// publish.ini as typed by hand: read from a file of the owner's alone, as the program needs.
#include "FuzzInput.h"
#include "publish/PublishSettings.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("publish.ini"));
    writeInput(path, reinterpret_cast<const char*>(data), qsizetype(size));
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const publish::PublishSettings settings = publish::readPublishSettings(path);
    // Wrongly configured means nothing is published.
    if (!settings.error.isEmpty() && settings.enabled)
        abort();
    return 0;
}
