#pragma once

#include "store/RegistryFile.h"

namespace store {

// The store an installation starts with: the four program keys with every value the main
// window restores at start-up, in the order it reads them. Data records go below `home`.
QList<RegistryKey> defaultSettings(const QString& home);

} // namespace store
