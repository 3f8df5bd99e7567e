#include "publish/PublishSettings.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>
#include <QSysInfo>
#include <optional>

namespace publish {

namespace {

const QStringList Keys{"host", "port", "prefix", "username", "password", "tls", "cafile", "qos"};

PublishSettings refused(const QString& key, const QString& reason)
{
    PublishSettings s;
    s.error = key.isEmpty() ? QStringLiteral("publish.ini: %1").arg(reason)
                            : QStringLiteral("publish.ini: %1: %2").arg(key, reason);
    return s;
}

std::optional<int> number(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

// The [mqtt] section's values exactly as typed. Qt's ini reader is not used: it reads `,` as
// a list, `;` as a comment and `\` as an escape, and a password would reach the broker
// changed. Empty `*error` when the file is well formed.
QHash<QString, QString> readValues(const QByteArray& bytes, QString* error)
{
    QHash<QString, QString> values;
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(bytes);
    if (utf8.hasError()) {
        *error = QStringLiteral("is not UTF-8 text");
        return {};
    }
    bool inMqtt = false;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QString line = lines[n];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char(';')) ||
            trimmed.startsWith(QLatin1Char('#')))
            continue;
        if (trimmed.startsWith(QLatin1Char('['))) {
            if (!trimmed.endsWith(QLatin1Char(']'))) {
                *error = QStringLiteral("line %1: a section without its ']'").arg(n + 1);
                return {};
            }
            inMqtt = trimmed.mid(1, trimmed.size() - 2).trimmed() == QLatin1String("mqtt");
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0) {
            *error = QStringLiteral("line %1: no '=' in '%2'").arg(n + 1).arg(trimmed);
            return {};
        }
        if (!inMqtt)
            continue;
        const QString key = line.left(equals).trimmed();
        QString value = line.mid(equals + 1).trimmed();
        if (!Keys.contains(key)) {
            *error = QStringLiteral("%1: not a setting of this file (line %2)").arg(key).arg(n + 1);
            return {};
        }
        if (values.contains(key)) {
            *error = QStringLiteral("%1: given twice (line %2)").arg(key).arg(n + 1);
            return {};
        }
        // Quotes keep blanks at either end; everything between them is taken as it is.
        if (value.startsWith(QLatin1Char('"'))) {
            if (value.size() < 2 || !value.endsWith(QLatin1Char('"'))) {
                *error = QStringLiteral("%1: a quoted value without its closing '\"' (line %2)")
                             .arg(key)
                             .arg(n + 1);
                return {};
            }
            value = value.mid(1, value.size() - 2);
        }
        values.insert(key, value);
    }
    return values;
}

// A topic level may not be empty nor hold a wildcard: the messages would go nowhere or
// everywhere.
QString prefixFault(const QString& prefix)
{
    if (prefix.contains(QLatin1Char('+')) || prefix.contains(QLatin1Char('#')))
        return QStringLiteral("'%1' holds a wildcard (+ or #)").arg(prefix);
    if (prefix.contains(QChar(0)))
        return QStringLiteral("holds a NUL character");
    if (prefix.split(QLatin1Char('/')).contains(QString()))
        return QStringLiteral("'%1' has an empty level").arg(prefix);
    if (prefix.toUtf8().size() > 60000)
        return QStringLiteral("is too long");
    return {};
}

} // namespace

PublishSettings readPublishSettings(const QString& path)
{
    if (!QFileInfo::exists(path))
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refused({}, QStringLiteral("cannot be read (%1)").arg(file.errorString()));
    // Whoever can change the file can send the plant's alarms and password elsewhere.
    if (file.permissions() & (QFileDevice::WriteGroup | QFileDevice::WriteOther))
        return refused({}, QStringLiteral("refused: others can write the file (chmod 600 it)"));
    QString syntax;
    const QHash<QString, QString> ini = readValues(file.readAll(), &syntax);
    if (!syntax.isEmpty())
        return refused({}, syntax);

    PublishSettings s;
    s.host = ini.value(QStringLiteral("host")).trimmed();
    if (s.host.isEmpty())
        return {};

    const QString portText = ini.value(QStringLiteral("port"), QStringLiteral("1883"));
    const auto port = number(portText);
    if (!port)
        return refused(QStringLiteral("port"),
                       QStringLiteral("'%1' is not a number").arg(portText));
    if (*port < 1 || *port > 65535)
        return refused(QStringLiteral("port"), QStringLiteral("%1 is not 1..65535").arg(*port));
    s.port = *port;

    const QString qosText = ini.value(QStringLiteral("qos"), QStringLiteral("1"));
    const auto qos = number(qosText);
    if (!qos || *qos < 0 || *qos > 2)
        return refused(QStringLiteral("qos"), QStringLiteral("'%1' is not 0, 1 or 2").arg(qosText));
    s.qos = *qos;

    const QString tlsText = ini.value(QStringLiteral("tls"), QStringLiteral("false")).toLower();
    if (tlsText == QLatin1String("true") || tlsText == QLatin1String("1"))
        s.tls = true;
    else if (tlsText != QLatin1String("false") && tlsText != QLatin1String("0") &&
             !tlsText.isEmpty())
        return refused(QStringLiteral("tls"),
                       QStringLiteral("'%1' is not true or false").arg(tlsText));
    s.cafile = ini.value(QStringLiteral("cafile"));
    if (s.tls) {
        QFile ca(s.cafile);
        if (s.cafile.isEmpty())
            return refused(QStringLiteral("cafile"), QStringLiteral("TLS needs a CA file"));
        if (!ca.open(QIODevice::ReadOnly))
            return refused(
                QStringLiteral("cafile"),
                QStringLiteral("%1 cannot be read (%2)").arg(s.cafile, ca.errorString()));
    }

    s.username = ini.value(QStringLiteral("username"));
    s.password = ini.value(QStringLiteral("password"));
    if (!s.password.isEmpty() &&
        (file.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther)))
        return refused(QStringLiteral("password"),
                       QStringLiteral("refused: others can read the file (chmod 600 it)"));
    // The protocol carries at most 65535 bytes of each.
    if (s.username.toUtf8().size() > 65535 || s.password.toUtf8().size() > 65535)
        return refused(s.username.toUtf8().size() > 65535 ? QStringLiteral("username")
                                                          : QStringLiteral("password"),
                       QStringLiteral("longer than 65535 bytes"));

    s.prefix = ini.value(QStringLiteral("prefix"));
    if (s.prefix.isEmpty())
        s.prefix = QStringLiteral("quillmere/") + QSysInfo::machineHostName();
    while (s.prefix.endsWith(QLatin1Char('/')))
        s.prefix.chop(1);
    if (const QString fault = prefixFault(s.prefix); !fault.isEmpty())
        return refused(QStringLiteral("prefix"), fault);
    s.queueFile = QFileInfo(path).absolutePath() + QStringLiteral("/publish-unsent-alarms.txt");
    s.enabled = true;
    return s;
}

} // namespace publish
