#include "publish/PublishSettings.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSysInfo>
#include <optional>

namespace publish {

namespace {

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

} // namespace

PublishSettings readPublishSettings(const QString& path)
{
    if (!QFileInfo::exists(path))
        return {};
    QFile probe(path);
    if (!probe.open(QIODevice::ReadOnly))
        return refused({}, QStringLiteral("cannot be read (%1)").arg(probe.errorString()));
    probe.close();
    QSettings ini(path, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError)
        return refused({}, QStringLiteral("is not a valid ini file"));
    ini.beginGroup(QStringLiteral("mqtt"));

    PublishSettings s;
    s.host = ini.value(QStringLiteral("host")).toString().trimmed();
    if (s.host.isEmpty())
        return {};

    const QString portText = ini.value(QStringLiteral("port"), QStringLiteral("1883")).toString();
    const auto port = number(portText);
    if (!port)
        return refused(QStringLiteral("port"),
                       QStringLiteral("'%1' is not a number").arg(portText));
    if (*port < 1 || *port > 65535)
        return refused(QStringLiteral("port"), QStringLiteral("%1 is not 1..65535").arg(*port));
    s.port = *port;

    const QString qosText = ini.value(QStringLiteral("qos"), QStringLiteral("1")).toString();
    const auto qos = number(qosText);
    if (!qos || *qos < 0 || *qos > 2)
        return refused(QStringLiteral("qos"), QStringLiteral("'%1' is not 0, 1 or 2").arg(qosText));
    s.qos = *qos;

    const QString tlsText =
        ini.value(QStringLiteral("tls"), QStringLiteral("false")).toString().trimmed().toLower();
    if (tlsText == QLatin1String("true") || tlsText == QLatin1String("1"))
        s.tls = true;
    else if (tlsText != QLatin1String("false") && tlsText != QLatin1String("0") &&
             !tlsText.isEmpty())
        return refused(QStringLiteral("tls"),
                       QStringLiteral("'%1' is not true or false").arg(tlsText));
    s.cafile = ini.value(QStringLiteral("cafile")).toString().trimmed();
    if (s.tls) {
        QFile ca(s.cafile);
        if (s.cafile.isEmpty())
            return refused(QStringLiteral("cafile"), QStringLiteral("TLS needs a CA file"));
        if (!ca.open(QIODevice::ReadOnly))
            return refused(
                QStringLiteral("cafile"),
                QStringLiteral("%1 cannot be read (%2)").arg(s.cafile, ca.errorString()));
    }

    s.username = ini.value(QStringLiteral("username")).toString();
    s.password = ini.value(QStringLiteral("password")).toString();
    if (!s.password.isEmpty() &&
        (QFile::permissions(path) & (QFileDevice::ReadGroup | QFileDevice::ReadOther)))
        return refused(QStringLiteral("password"),
                       QStringLiteral("refused: others can read the file (chmod 600 it)"));

    s.prefix = ini.value(QStringLiteral("prefix")).toString().trimmed();
    if (s.prefix.isEmpty())
        s.prefix = QStringLiteral("quillmere/") + QSysInfo::machineHostName();
    while (s.prefix.endsWith(QLatin1Char('/')))
        s.prefix.chop(1);
    s.enabled = true;
    return s;
}

} // namespace publish
