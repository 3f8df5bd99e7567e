#pragma once

#include <QString>
#include <QStringList>

namespace store {
class RegistryFile;
struct RegistryKey;
struct RegistryValue;
} // namespace store

// One handle on the settings store: choose the root, open one existing key, read and write its
// typed values, close it. Every window takes its own handle; handles over the same file see
// each other's writes at once. Failures are raised as QuillmereError with the store's own
// messages ("Failed to get data for '%s'", "Invalid data type for '%s'",
// "Failed to set data for '%s'").
//
// Writes reach the file when the key is closed (or the handle goes), one atomic replacement
// of the file per key rather than one per value; what was written before an error on the same
// handle still reaches the file.
class SettingsStore
{
public:
    enum class Root { LocalMachine }; // HKEY_LOCAL_MACHINE, the only root the program uses

    explicit SettingsStore(store::RegistryFile& file);
    ~SettingsStore(); // closes the key
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    void setRoot(Root root);
    // True when the key exists and is now the current key. Keys are never created: when the
    // key is missing the handle has no current key, and every read and write behaves as for a
    // missing value. A file that cannot be read or parsed raises an error naming the file
    // and line.
    bool openKey(const QString& path);
    // Empty text when the value is missing.
    QString readString(const QString& name) const;
    int readInteger(const QString& name) const;
    bool readBool(const QString& name) const; // any non-zero integer is true
    void writeString(const QString& name, const QString& value);
    void writeInteger(const QString& name, int value);
    void writeBool(const QString& name, bool value); // stored as the integer 1 or 0
    // Commits the writes made on the key; raises "Failed to set data for '%s'" with the last
    // value written when the file cannot be replaced (the old file stays as it was).
    void closeKey();
    // Names of every value of the current key, in file order; empty without a current key.
    QStringList getValueNames() const;

private:
    store::RegistryKey* currentKey() const;
    const store::RegistryValue* value(const QString& name) const;
    void write(const QString& name, store::RegistryValue value);

    store::RegistryFile& m_file;
    Root m_root = Root::LocalMachine;
    QString m_key; // the current key as the file spells it; empty: none
    bool m_hasKey = false;
    QString m_lastWritten; // name of the last value written since the last commit
    bool m_dirty = false;
};
