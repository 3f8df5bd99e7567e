#pragma once

#include <QString>

namespace core {

// The folder that holds everything the program reads and writes besides its own files:
// $QUILLMERE_HOME when set, otherwise the folder of the program file.
QString homeFolder();

} // namespace core
