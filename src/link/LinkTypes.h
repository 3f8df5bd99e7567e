#pragma once

#include <QtGlobal>

// The link's small types. The numeric values are stored in the settings and must not change.
enum class TPsl : int { rtu = 0, veln = 1 };

// RS422_485: the 4-wire converter hands the request back (echo) in front of every reply.
// RS485: the reply arrives alone.
enum class TConverter : int { RS422_485 = 0, RS485 = 1 };

using TAddress = quint8; // parameter code, the controller's register number
using TCommand = quint8; // first byte of a VELN write frame; the program only ever passes 'W'

constexpr TCommand WriteCommand = 87; // ASCII 'W'
