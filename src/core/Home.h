#pragma once

#include <QString>

namespace core {

// The folder that holds everything the program reads and writes besides its own files:
// $QUILLMERE_HOME when set; otherwise the folder of the program file when that folder is
// writable and not an installed tree (a build tree, a portable copy); otherwise
// $XDG_DATA_HOME/quillmere (~/.local/share/quillmere).
QString homeFolder();

// The folder of the program's own read-only files (the page-button pictures):
// <prefix>/share/quillmere for a program in <prefix>/bin, else the folder of the program file
// (a build tree keeps them there). Found from the program file, so a tree unpacked anywhere
// works.
QString dataFolder();

} // namespace core
