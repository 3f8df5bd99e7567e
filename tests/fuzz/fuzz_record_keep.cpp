// The file of rows kept at close (record-waiting.dat), as a crash, a full disk or another
// version may have left it: taken back or refused, and what is taken back is kept again.
#include "FuzzInput.h"
#include "record/RecordFiles.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("record-waiting.dat"));
    writeInput(path, reinterpret_cast<const char*>(data), qsizetype(size));
    record::RecordFiles files;
    if (files.takeBack(path)) {
        if (QFile::exists(path) || !files.keep(path))
            abort();
        record::RecordFiles again;
        if (!again.takeBack(path) || again.waitingRows() != files.waitingRows())
            abort();
    }
    QFile::remove(path);
    return 0;
}
