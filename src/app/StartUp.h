#pragma once

#include "ui/main/Windows.h"

#include <QString>
#include <functional>
#include <memory>

class DialogService;
class QLockFile;
class TCommController;
namespace store {
class RegistryFile;
}

// What a start may be given instead of the real parts (tests and tools).
struct StartOptions
{
    // Null: the real engine over the real ports.
    std::function<std::unique_ptr<TCommController>()> makeEngine;
    // Empty: the folder of the program file.
    QString pictureFolder;
};

// Creates every window of the program once, the main window first, and wires them together.
// The main window owns the others. Errors on the way are raised.
Windows createWindows(DialogService& dialogs, store::RegistryFile& settings,
                      const StartOptions& options = {});

// The program's start as main() runs it: one program per home folder, the store seeded on the
// first start, every window created, the main window shown (which restores the settings).
class Program
{
public:
    explicit Program(DialogService& dialogs, StartOptions options = {});
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // False when the program must end; the reason has been shown to the operator.
    bool start();
    // A signal or the end of the desktop session: the main window's own close, then the
    // program ends. A close that does not go through (the store refused) leaves the window
    // open with its message, as for the operator's close. Asked during the start, the close
    // waits until the window is up; a start that fails ends the program unstored.
    void closeFromOutside();

    const Windows& windows() const { return m_windows; }
    store::RegistryFile* settings() const { return m_settings.get(); }

private:
    bool fail(const QString& message, const QString& detail = {});

    DialogService& m_dialogs;
    StartOptions m_options;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<store::RegistryFile> m_settings;
    std::unique_ptr<TFmHome> m_home; // owns every other window
    Windows m_windows;
    bool m_started = false;
    bool m_closePending = false; // asked from outside before the start was over
};
