#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace store {

// One value of a key as a registry export spells it.
struct RegistryValue
{
    enum Kind { Text, Integer, Other }; // Other: binary, multi-string, ... (kept, never read)
    QString name;
    Kind kind = Text;
    QString text;     // Text
    qint32 integer{}; // Integer
    // Other: the data after '=' as it stood in the file. Also kept for a text read from hex
    // bytes (hex(2), expandable text), so that an untouched value goes back as it came.
    QString raw;
};

struct RegistryKey
{
    QString path; // full path below the root line, e.g. HKEY_LOCAL_MACHINE\SOFTWARE\X\FmHome
    QList<RegistryValue> values;

    // Position of the value with that name (case-insensitive, "" for the default value), or -1.
    qsizetype indexOfValue(const QString& name) const
    {
        for (qsizetype i = 0; i < values.size(); ++i) {
            if (values[i].name.compare(name, Qt::CaseInsensitive) == 0)
                return i;
        }
        return -1;
    }
};

// The settings file <home>/settings.reg in the syntax of a registry export: read as UTF-8, or
// as UTF-16 with a byte-order mark (what `regedit /e` writes), written as UTF-8; key and value
// names compared without regard to case. Loaded on first use and again when the file changed
// on disk; written by replacing the whole file atomically. Shared by all store handles of the
// program; used on the user-interface thread only.
class RegistryFile
{
public:
    explicit RegistryFile(QString path);

    QString path() const { return m_path; }

    // Loads the file unless the copy in memory is current. Raises QuillmereError naming the
    // file (and the line) when it cannot be read or parsed; the file is then left alone.
    void load();
    // The key with that full path (case-insensitive), or null.
    RegistryKey* key(const QString& path);
    // Replaces the file with the keys in memory. False (and the old file intact) on failure,
    // with the system's reason in `error`.
    bool save(QString* error = nullptr);

    // Text of a whole document; parse errors raise QuillmereError with the line number.
    static QList<RegistryKey> parse(const QByteArray& bytes, const QString& fileName);
    static QByteArray serialise(const QList<RegistryKey>& keys);

    QList<RegistryKey>& keys() { return m_keys; }

    // One value that a save changed, added or removed: `old` or `now` is empty when the value
    // did not exist. Told after the file is replaced, so that a record of it names what is on
    // the disk.
    struct Change
    {
        QString key;
        QString name;
        std::optional<QString> old;
        std::optional<QString> now;
    };
    void setChangeListener(std::function<void(const QList<Change>&)> listener)
    {
        m_listener = std::move(listener);
    }

private:
    QString m_path;
    QList<RegistryKey> m_keys;
    bool m_loaded = false;
    QDateTime m_modified; // of the file as last read or written
    qint64 m_size = -1;
    QList<RegistryKey> m_saved; // the keys as last read or written, for the changes of a save
    std::function<void(const QList<Change>&)> m_listener;
};

// First start: writes the default store to `path` when no file exists there. The defaults
// hold every key and value the start-up restore reads; `home` gives the default record folder.
// True when the file was created. Raises QuillmereError when it cannot be written.
bool seedDefaultSettings(const QString& path, const QString& home);

// Path of a key below the program's base key: "SOFTWARE\QUILLMERE CONTROL\" + name.
QString programKey(const QString& name);

} // namespace store
