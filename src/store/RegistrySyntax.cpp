#include "store/RegistrySyntax.h"

#include "core/QuillmereError.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <cctype>

namespace store {
namespace {

const QString HeaderV5 = QStringLiteral("Windows Registry Editor Version 5.00");
const QString HeaderV4 = QStringLiteral("REGEDIT4");
constexpr uint RegSz = 1;       // hex(1): a text spelled as UTF-16LE bytes
constexpr uint RegExpandSz = 2; // hex(2): the same, with %VARIABLES% left for the reader
constexpr int LineWidth = 78;   // where regedit wraps long hex data

bool isHexDigits(QStringView text)
{
    for (QChar c : text) {
        if (c.unicode() > 0x7f || !isxdigit(c.unicode()))
            return false;
    }
    return !text.isEmpty();
}

QuillmereError syntaxError(const QString& fileName, qsizetype line, const QString& what)
{
    return QuillmereError(QStringLiteral("%1, line %2: %3").arg(fileName).arg(line).arg(what));
}

// regedit itself writes UTF-16LE with a byte-order mark; files edited by hand are UTF-8.
QStringList decodeLines(const QByteArray& bytes, const QString& fileName)
{
    const bool utf16 = bytes.startsWith("\xff\xfe");
    QStringDecoder decoder(utf16 ? QStringConverter::Utf16LE : QStringConverter::Utf8);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        const qsizetype bad = text.indexOf(QChar::ReplacementCharacter);
        throw syntaxError(fileName, text.left(bad).count(u'\n') + 1,
                          utf16 ? QStringLiteral("not valid UTF-16 text")
                                : QStringLiteral("not valid UTF-8 text (save the file as UTF-8, "
                                                 "or as UTF-16 with a byte-order mark)"));
    }
    QStringList lines = text.split(u'\n');
    for (QString& line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
    }
    return lines;
}

class Parser
{
public:
    Parser(const QByteArray& bytes, const QString& fileName)
        : m_fileName(fileName), m_lines(decodeLines(bytes, fileName))
    {
    }

    QList<RegistryKey> run()
    {
        qsizetype current = -1;
        bool seenHeader = false;
        for (m_index = 0; m_index < m_lines.size(); ++m_index) {
            const QString line = m_lines[m_index].trimmed();
            if (line.isEmpty() || line.startsWith(u';'))
                continue;
            if (!seenHeader) {
                if (line != HeaderV5 && line != HeaderV4)
                    fail(QStringLiteral("the file must begin with the line \"%1\"").arg(HeaderV5));
                seenHeader = true;
            } else if (line.startsWith(u'[')) {
                current = keyLine(line);
            } else if (line.startsWith(u'"') || line.startsWith(u'@')) {
                if (current < 0)
                    fail(QStringLiteral("a value before the first [key] line"));
                valueLine(line, m_keys[current]);
            } else {
                fail(QStringLiteral("neither a [key] line, a \"name\"=value line nor a comment"));
            }
        }
        if (!seenHeader) {
            m_index = 0;
            fail(QStringLiteral("the file is empty; it must begin with the line \"%1\"")
                     .arg(HeaderV5));
        }
        return m_keys;
    }

private:
    [[noreturn]] void fail(const QString& what) const
    {
        throw syntaxError(m_fileName, m_index + 1, what);
    }

    // A key that appears twice is one key, as when regedit imports such a file.
    qsizetype keyLine(const QString& line)
    {
        if (line.size() < 3 || !line.endsWith(u']') || line[1] == u'-')
            fail(QStringLiteral("a key line must be [path of the key]"));
        const QString path = line.mid(1, line.size() - 2);
        for (qsizetype i = 0; i < m_keys.size(); ++i) {
            if (m_keys[i].path.compare(path, Qt::CaseInsensitive) == 0)
                return i;
        }
        m_keys.append(RegistryKey{path, {}});
        return m_keys.size() - 1;
    }

    void valueLine(const QString& line, RegistryKey& key)
    {
        RegistryValue value;
        qsizetype pos = 1;
        if (line[0] == u'"')
            value.name = quoted(line, pos);
        while (pos < line.size() && line[pos].isSpace())
            ++pos;
        if (pos >= line.size() || line[pos] != u'=')
            fail(QStringLiteral("expected = after the value name"));
        const QString data = line.mid(pos + 1).trimmed();
        if (data.startsWith(u'"')) {
            qsizetype end = 1;
            value.kind = RegistryValue::Text;
            value.text = quoted(data, end);
            if (end != data.size())
                fail(QStringLiteral("more text after the closing quote"));
        } else if (data.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
            const QString digits = data.mid(6).trimmed();
            if (digits.size() > 8 || !isHexDigits(digits))
                fail(
                    QStringLiteral("a dword needs up to eight hex digits, not \"%1\"").arg(digits));
            value.kind = RegistryValue::Integer;
            value.integer = qint32(digits.toUInt(nullptr, 16));
        } else {
            hexValue(data, value);
        }
        const qsizetype at = key.indexOfValue(value.name);
        if (at < 0) {
            key.values.append(value);
        } else {
            value.name = key.values[at].name;
            key.values[at] = value;
        }
    }

    // `pos` is just past the opening quote; on return, just past the closing one.
    QString quoted(const QString& line, qsizetype& pos) const
    {
        QString out;
        for (; pos < line.size(); ++pos) {
            QChar c = line[pos];
            if (c == u'"') {
                ++pos;
                return out;
            }
            if (c == u'\\' && ++pos < line.size()) {
                c = line[pos];
                if (c != u'\\' && c != u'"')
                    fail(QStringLiteral("unknown escape \\%1 in a quoted text (a backslash is "
                                        "written \\\\, a quote \\\")")
                             .arg(c));
            }
            out += c;
        }
        fail(QStringLiteral("a quoted text has no closing quote"));
    }

    void hexValue(const QString& data, RegistryValue& value)
    {
        static const QRegularExpression kindRe(QStringLiteral("^hex(?:\\(([0-9a-f]{1,8})\\))?:"),
                                               QRegularExpression::CaseInsensitiveOption);
        const QRegularExpressionMatch kind = kindRe.match(data);
        if (!kind.hasMatch())
            fail(QStringLiteral("unknown kind of value (expected \"text\", dword: or hex:)"));
        QString raw = data;
        QString segment = data.mid(kind.capturedLength());
        QString list;
        for (;;) {
            segment = segment.trimmed();
            const bool continued = segment.endsWith(u'\\');
            if (continued)
                segment.chop(1);
            list += segment;
            if (!continued)
                break;
            if (m_index + 1 >= m_lines.size() || m_lines[m_index + 1].trimmed().isEmpty())
                fail(QStringLiteral("the value ends in \\ but no line follows"));
            segment = m_lines[++m_index];
            // Kept without what ends the line: a stray carriage return of a CR CR LF ending
            // would otherwise be written back inside the value.
            QString kept = segment;
            while (!kept.isEmpty() && kept.back().isSpace())
                kept.chop(1);
            raw += u'\n' + kept;
        }
        QByteArray bytes;
        if (!list.trimmed().isEmpty()) {
            for (const QString& item : list.split(u',')) {
                const QString byte = item.trimmed();
                if (byte.size() > 2 || !isHexDigits(byte))
                    fail(QStringLiteral("\"%1\" is not a hex byte").arg(byte));
                bytes.append(char(byte.toUInt(nullptr, 16)));
            }
        }
        const uint type = kind.captured(1).isEmpty() ? 3 : kind.captured(1).toUInt(nullptr, 16);
        if ((type == RegSz || type == RegExpandSz) && bytes.size() % 2 == 0) {
            value.kind = RegistryValue::Text;
            // Read as it stands: nothing here knows the old workstation's variables.
            if (type == RegExpandSz)
                value.raw = raw;
            for (qsizetype i = 0; i < bytes.size(); i += 2)
                value.text += QChar(uchar(bytes[i]) | uchar(bytes[i + 1]) << 8);
            if (value.text.endsWith(QChar(0)))
                value.text.chop(1);
        } else {
            value.kind = RegistryValue::Other;
            value.raw = raw;
        }
    }

    QString m_fileName;
    QStringList m_lines;
    qsizetype m_index = 0;
    QList<RegistryKey> m_keys;
};

QString quote(const QString& text)
{
    QString out = text;
    out.replace(u'\\', QLatin1String("\\\\")).replace(u'"', QLatin1String("\\\""));
    return u'"' + out + u'"';
}

// A line break or other control character cannot stand inside a quoted text, and a broken
// surrogate pair does not survive UTF-8: such texts are spelled as hex(1) bytes instead.
bool needsHex(const QString& text)
{
    for (QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    }
    return !text.isValidUtf16();
}

// `column` is where the data starts on its line; long data wraps as regedit wraps it.
QString hexText(const QString& text, qsizetype column)
{
    QString out = QStringLiteral("hex(1):");
    column += out.size();
    const QString terminated = text + QChar(0);
    bool first = true;
    for (QChar c : terminated) {
        for (const uint byte : {c.unicode() & 0xffu, uint(c.unicode()) >> 8}) {
            if (!first && column + 4 > LineWidth) {
                out += QLatin1String(",\\\n  ");
                column = 2;
            } else if (!first) {
                out += u',';
                ++column;
            }
            out += QStringLiteral("%1").arg(byte, 2, 16, QChar(u'0'));
            column += 2;
            first = false;
        }
    }
    return out;
}

} // namespace

QList<RegistryKey> parseRegistry(const QByteArray& bytes, const QString& fileName)
{
    return Parser(bytes, fileName).run();
}

QByteArray serialiseRegistry(const QList<RegistryKey>& keys)
{
    QString out = HeaderV5 + QLatin1String("\n\n");
    for (const RegistryKey& key : keys) {
        out += u'[' + key.path + QLatin1String("]\n");
        for (const RegistryValue& value : key.values) {
            const QString name = value.name.isEmpty() ? QStringLiteral("@") : quote(value.name);
            out += name + u'=';
            switch (value.kind) {
            case RegistryValue::Text:
                if (!value.raw.isEmpty())
                    out += value.raw;
                else if (needsHex(value.text))
                    out += hexText(value.text, name.size() + 1);
                else
                    out += quote(value.text);
                break;
            case RegistryValue::Integer:
                out += QStringLiteral("dword:%1").arg(quint32(value.integer), 8, 16, QChar(u'0'));
                break;
            case RegistryValue::Other:
                out += value.raw;
                break;
            }
            out += u'\n';
        }
        out += u'\n';
    }
    return out.toUtf8();
}

} // namespace store
