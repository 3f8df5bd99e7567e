#pragma once

// The fuzzer's input put where the reader under test looks for its file. A file that cannot be
// written is the harness's fault, not the reader's: the run stops.
#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdlib>

inline void writeInput(const QString& path, const char* data, qsizetype size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(data, size) != size)
        abort();
}
inline void writeInput(const QString& path, const QByteArray& bytes)
{
    writeInput(path, bytes.constData(), bytes.size());
}
