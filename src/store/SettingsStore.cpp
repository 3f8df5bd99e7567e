#include "store/SettingsStore.h"

#include "core/QuillmereError.h"
#include "store/RegistryFile.h"

namespace {

QuillmereError storeError(const char* text, const QString& name)
{
    return QuillmereError(QString::fromLatin1(text).arg(name));
}

QString rootName(SettingsStore::Root root)
{
    switch (root) {
    case SettingsStore::Root::LocalMachine:
        return QStringLiteral("HKEY_LOCAL_MACHINE");
    }
    return {};
}

} // namespace

SettingsStore::SettingsStore(store::RegistryFile& file) : m_file(file) {}

SettingsStore::~SettingsStore()
{
    // The writes stay in memory for the next commit by any handle; a destructor has no one
    // to report the failure to.
    try {
        closeKey();
    } catch (...) {
    }
}

void SettingsStore::setRoot(Root root)
{
    m_root = root;
}

bool SettingsStore::openKey(const QString& path)
{
    closeKey();
    m_file.load();
    // Key paths are written both ways in the program: "SOFTWARE\..." and "\HARDWARE\...".
    const QString relative = path.startsWith(u'\\') ? path.mid(1) : path;
    const store::RegistryKey* key = m_file.key(rootName(m_root) + u'\\' + relative);
    // A 32-bit program's settings exported on 64-bit Windows sit below WOW6432Node.
    static const QString Software = QStringLiteral("SOFTWARE\\");
    if (!key && relative.startsWith(Software, Qt::CaseInsensitive)) {
        key = m_file.key(rootName(m_root) + u'\\' + Software + QStringLiteral("WOW6432Node\\") +
                         relative.mid(Software.size()));
    }
    if (key) {
        m_key = key->path;
        m_hasKey = true;
    }
    return m_hasKey;
}

QString SettingsStore::readString(const QString& name) const
{
    const store::RegistryValue* v = value(name);
    if (!v)
        return {};
    if (v->kind != store::RegistryValue::Text)
        throw storeError("Invalid data type for '%1'", name);
    return v->text;
}

int SettingsStore::readInteger(const QString& name) const
{
    const store::RegistryValue* v = value(name);
    if (!v)
        throw storeError("Failed to get data for '%1'", name);
    if (v->kind != store::RegistryValue::Integer)
        throw storeError("Invalid data type for '%1'", name);
    return v->integer;
}

bool SettingsStore::readBool(const QString& name) const
{
    return readInteger(name) != 0;
}

void SettingsStore::writeString(const QString& name, const QString& value)
{
    store::RegistryValue v;
    v.kind = store::RegistryValue::Text;
    v.text = value;
    write(name, v);
}

void SettingsStore::writeInteger(const QString& name, int value)
{
    store::RegistryValue v;
    v.kind = store::RegistryValue::Integer;
    v.integer = value;
    write(name, v);
}

void SettingsStore::writeBool(const QString& name, bool value)
{
    writeInteger(name, value ? 1 : 0);
}

void SettingsStore::closeKey()
{
    const bool dirty = m_dirty;
    const QString last = m_lastWritten;
    m_key.clear();
    m_hasKey = false;
    m_dirty = false;
    m_lastWritten.clear();
    QString reason;
    if (dirty && !m_file.save(&reason)) {
        throw QuillmereError(QStringLiteral("Failed to set data for '%1'").arg(last),
                             QStringLiteral("%1: %2").arg(m_file.path(), reason));
    }
}

QStringList SettingsStore::getValueNames() const
{
    QStringList names;
    if (const store::RegistryKey* key = currentKey()) {
        for (const store::RegistryValue& v : key->values)
            names << v.name;
    }
    return names;
}

// Looked up by path each time: a reload of a changed file replaces the keys in memory.
store::RegistryKey* SettingsStore::currentKey() const
{
    return m_hasKey ? m_file.key(m_key) : nullptr;
}

const store::RegistryValue* SettingsStore::value(const QString& name) const
{
    const store::RegistryKey* key = currentKey();
    const qsizetype at = key ? key->indexOfValue(name) : -1;
    return at < 0 ? nullptr : &key->values[at];
}

void SettingsStore::write(const QString& name, store::RegistryValue value)
{
    store::RegistryKey* key = currentKey();
    if (!key)
        throw storeError("Failed to set data for '%1'", name);
    const qsizetype at = key->indexOfValue(name);
    if (at < 0) {
        value.name = name;
        key->values.append(value);
    } else {
        value.name = key->values[at].name;
        key->values[at] = value;
    }
    m_dirty = true;
    m_lastWritten = name;
}
