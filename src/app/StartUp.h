#pragma once

#include "ui/main/Windows.h"

class DialogService;

// Creates every window of the program once, the main window first, and wires them together.
// Errors on the way are raised; the caller ends the program with their message.
Windows createWindows(DialogService& dialogs);
