#pragma once

#include "store/RegistryFile.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace store {

// The text of a registry export, read and written without touching any file.

// Raises QuillmereError "<fileName>, line <n>: <what is wrong>" for anything that is not a
// header, key line, value line, comment or blank line.
QList<RegistryKey> parseRegistry(const QByteArray& bytes, const QString& fileName);
// UTF-8 without byte-order mark, LF line ends, a blank line after the header and each key.
QByteArray serialiseRegistry(const QList<RegistryKey>& keys);

} // namespace store
