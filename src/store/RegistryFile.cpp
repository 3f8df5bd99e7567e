#include "store/RegistryFile.h"

#include "core/QuillmereError.h"
#include "store/DefaultSettings.h"
#include "store/RegistrySyntax.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

namespace store {
namespace {

// The new text goes to a temporary file beside the old one and is renamed over it only when
// complete, so a full disk or a crash in the middle leaves the old settings as they were.
// The explicit flush matters: Qt 6.4's commit() ignores a failure to flush its buffer and
// renames a truncated file over the old one (QTBUG-75077).
bool replaceFile(const QString& path, const QByteArray& bytes, QString* error = nullptr)
{
    QSaveFile file(path);
    errno = 0;
    const bool done = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() &&
                      file.flush() && file.commit();
    if (!done && error) {
        // A write cut short (disk full, a size limit) leaves Qt with "Unknown error"; the
        // system's own reason is still in errno then.
        const int code = errno;
        *error = file.errorString();
        if (code != 0 && (file.error() == QFileDevice::UnspecifiedError ||
                          *error == QLatin1String("Unknown error")))
            *error = QString::fromLocal8Bit(std::strerror(code));
    }
    return done;
}

} // namespace

RegistryFile::RegistryFile(QString path) : m_path(std::move(path)) {}

namespace {

std::optional<QString> valueText(const RegistryValue& v)
{
    switch (v.kind) {
    case RegistryValue::Text:
        return v.text;
    case RegistryValue::Integer:
        return QString::number(v.integer);
    case RegistryValue::Other:
        break;
    }
    return v.raw;
}

const RegistryKey* findKey(const QList<RegistryKey>& keys, const QString& path)
{
    for (const RegistryKey& k : keys) {
        if (k.path.compare(path, Qt::CaseInsensitive) == 0)
            return &k;
    }
    return nullptr;
}

QList<RegistryFile::Change> changesBetween(const QList<RegistryKey>& before,
                                           const QList<RegistryKey>& after)
{
    QList<RegistryFile::Change> changes;
    for (const RegistryKey& key : after) {
        const RegistryKey* old = findKey(before, key.path);
        for (const RegistryValue& v : key.values) {
            const qsizetype i = old ? old->indexOfValue(v.name) : -1;
            const std::optional<QString> was = i >= 0 ? valueText(old->values[i]) : std::nullopt;
            if (was != valueText(v))
                changes.append({key.path, v.name, was, valueText(v)});
        }
        for (const RegistryValue& v : old ? old->values : QList<RegistryValue>()) {
            if (key.indexOfValue(v.name) < 0)
                changes.append({key.path, v.name, valueText(v), std::nullopt});
        }
    }
    for (const RegistryKey& key : before) {
        if (!findKey(after, key.path)) {
            for (const RegistryValue& v : key.values)
                changes.append({key.path, v.name, valueText(v), std::nullopt});
        }
    }
    return changes;
}

} // namespace

void RegistryFile::load()
{
    const QFileInfo info(m_path);
    if (m_loaded && info.exists() && info.lastModified() == m_modified && info.size() == m_size)
        return;
    // Until the file reads and parses again, nothing may be saved over it: the operator's
    // file stays as it is for them to mend.
    m_loaded = false;
    m_keys.clear();
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw QuillmereError(QStringLiteral("%1: the settings file cannot be read (%2)")
                                 .arg(m_path, file.errorString()));
    }
    m_keys = parse(file.readAll(), m_path);
    m_modified = info.lastModified();
    m_size = info.size();
    m_loaded = true;
    m_saved = m_keys;
}

RegistryKey* RegistryFile::key(const QString& path)
{
    for (RegistryKey& key : m_keys) {
        if (key.path.compare(path, Qt::CaseInsensitive) == 0)
            return &key;
    }
    return nullptr;
}

bool RegistryFile::save(QString* error)
{
    if (!m_loaded) {
        if (error)
            *error = QStringLiteral("the file was not read");
        return false;
    }
    if (!replaceFile(m_path, serialise(m_keys), error))
        return false;
    // Our own write must not look like an operator's edit at the next load.
    const QFileInfo info(m_path);
    m_modified = info.lastModified();
    m_size = info.size();
    const QList<Change> changes = changesBetween(m_saved, m_keys);
    m_saved = m_keys;
    if (m_listener && !changes.isEmpty())
        m_listener(changes);
    return true;
}

QList<RegistryKey> RegistryFile::parse(const QByteArray& bytes, const QString& fileName)
{
    return parseRegistry(bytes, fileName);
}

QByteArray RegistryFile::serialise(const QList<RegistryKey>& keys)
{
    return serialiseRegistry(keys);
}

bool seedDefaultSettings(const QString& path, const QString& home)
{
    const QFileInfo info(path);
    if (info.exists() || info.isSymLink())
        return false;
    QDir().mkpath(info.absolutePath());
    QString error;
    if (!replaceFile(path, serialiseRegistry(defaultSettings(home)), &error)) {
        throw QuillmereError(
            QStringLiteral("%1: the default settings cannot be written (%2)").arg(path, error));
    }
    return true;
}

QString programKey(const QString& name)
{
    return QStringLiteral("SOFTWARE\\QUILLMERE CONTROL\\") + name;
}

} // namespace store
