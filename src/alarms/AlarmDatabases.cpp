#include "alarms/AlarmDatabases.h"

#include "alarms/AlarmSchema.h"
#include "core/QuillmereError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>

#include <atomic>

namespace alarms {
namespace {

const QString IniName = QStringLiteral("databases.ini");

QString defaultIni()
{
    QString text = QStringLiteral(
        "; Where the alarm tables live, one section per named database.\n"
        "; Driver=QSQLITE: Database is a file, relative to this folder.\n"
        "; Driver=QPSQL: Database, Host, Port, User, Password name the PostgreSQL database;\n"
        "; its tables are made once with alarm-tables.sql. Options are Qt's connect options.\n");
    for (const QString& name : {DbAlarmInfo, DbAlarmCount}) {
        text += QStringLiteral("\n[%1]\nDriver=QSQLITE\nDatabase=%1.sqlite\nHost=\nPort=\nUser=\n"
                               "Password=\nOptions=\n")
                    .arg(name);
    }
    return text;
}

struct DatabaseConfig
{
    QString driver, database, host, user, password, options;
    int port = -1;
};

DatabaseConfig readConfig(const QString& name, const QString& home)
{
    const QString path = home + QLatin1Char('/') + IniName;
    if (!QFileInfo::exists(path))
        throw QuillmereError(QStringLiteral("%1 is missing: the database %2 cannot be found")
                                 .arg(QDir::toNativeSeparators(path), name));
    QSettings ini(path, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError || !ini.childGroups().contains(name)) {
        throw QuillmereError(
            QStringLiteral("%1 has no section [%2]").arg(QDir::toNativeSeparators(path), name));
    }
    ini.beginGroup(name);
    DatabaseConfig config;
    config.driver = ini.value(QStringLiteral("Driver")).toString().trimmed();
    config.database = ini.value(QStringLiteral("Database")).toString().trimmed();
    config.host = ini.value(QStringLiteral("Host")).toString().trimmed();
    config.user = ini.value(QStringLiteral("User")).toString();
    config.password = ini.value(QStringLiteral("Password")).toString();
    // A list value ("a=1;b=2" read back split at commas) is joined back as it was typed.
    const QVariant options = ini.value(QStringLiteral("Options"));
    config.options = options.typeId() == QMetaType::QStringList
                         ? options.toStringList().join(QLatin1Char(','))
                         : options.toString();
    bool ok = false;
    const int port = ini.value(QStringLiteral("Port")).toString().toInt(&ok);
    config.port = ok ? port : -1;
    // QDir takes a name that starts with ':' for a Qt resource and leaves it as it is; SQLite
    // would then make a new empty file of that name in the current folder (":memory:" an
    // alarm table that is gone at exit). Every name that is not a full path lives in the home.
    if (config.driver == QLatin1String("QSQLITE") &&
        (config.database.startsWith(QLatin1Char(':')) || QDir::isRelativePath(config.database)))
        config.database = QDir::cleanPath(home + QLatin1Char('/') + config.database);
    // The password of a shared server is the plant's: a file anyone on this machine can read
    // gives it to all of them.
    if (!config.password.isEmpty() &&
        (QFile::permissions(path) & (QFileDevice::ReadGroup | QFileDevice::ReadOther))) {
        throw QuillmereError(QStringLiteral("%1 holds the password of %2 but others can read the "
                                            "file: it is refused (chmod 600 it)")
                                 .arg(QDir::toNativeSeparators(path), name));
    }
    return config;
}

// The option `key` (a libpq keyword, or a server setting inside `options`) named in the
// options typed into databases.ini.
bool optionNamed(const QString& options, const QString& key)
{
    return options.contains(QRegularExpression(QStringLiteral("\\b%1\\s*=").arg(key)));
}

// Every wait of a connection bounded, unless databases.ini says otherwise. All database work
// is on the user-interface thread, so a wait here is a frozen window.
QString boundedOptions(const QString& driver, const QString& typed)
{
    QStringList options;
    if (!typed.trimmed().isEmpty())
        options << typed.trimmed();
    const QList<std::pair<QString, QString>> defaults =
        driver == QLatin1String("QPSQL")
            ? QList<std::pair<QString, QString>>{{QStringLiteral("connect_timeout"),
                                                  QString::number(ConnectTimeoutS)},
                                                 {QStringLiteral("keepalives"),
                                                  QStringLiteral("1")},
                                                 {QStringLiteral("keepalives_idle"),
                                                  QString::number(KeepaliveIdleS)},
                                                 {QStringLiteral("keepalives_interval"),
                                                  QString::number(KeepaliveIntervalS)},
                                                 {QStringLiteral("keepalives_count"),
                                                  QString::number(KeepaliveCount)},
                                                 {QStringLiteral("tcp_user_timeout"),
                                                  QString::number(TcpUserTimeoutMs)}}
        : driver == QLatin1String("QSQLITE")
            ? QList<std::pair<QString, QString>>{{QStringLiteral("QSQLITE_BUSY_TIMEOUT"),
                                                  QString::number(SqliteBusyTimeoutMs)}}
            : QList<std::pair<QString, QString>>{};
    for (const auto& [key, value] : defaults)
        if (!optionNamed(typed, key))
            options << key + QLatin1Char('=') + value;
    return options.join(QLatin1Char(';'));
}

// The default file is made beside its final name and renamed only when its table is
// complete, so an interrupted first start leaves no half-made database behind.
void createSqliteFile(const QString& path, const QStringList& statements)
{
    const QString building = path + QStringLiteral(".new");
    QFile::remove(building);
    const QString connection = QStringLiteral("alarms-seed");
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(building);
        try {
            if (!db.open())
                throw QuillmereError(db.lastError().text());
            createTables(db, statements);
        } catch (const QuillmereError& e) {
            error = e.message();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    if (error.isEmpty() && !QFile::rename(building, path))
        error = QStringLiteral("the file cannot be renamed");
    if (!error.isEmpty()) {
        QFile::remove(building);
        throw QuillmereError(QStringLiteral("%1: the alarm table cannot be created (%2)")
                                 .arg(QDir::toNativeSeparators(path), error));
    }
}

} // namespace

bool seedDefaultDatabases(const QString& home)
{
    bool created = false;
    const QString iniPath = home + QLatin1Char('/') + IniName;
    if (!QFileInfo::exists(iniPath) && !QFileInfo(iniPath).isSymLink()) {
        QDir().mkpath(home);
        QSaveFile file(iniPath);
        const QByteArray bytes = defaultIni().toUtf8();
        // Private from the start: the plant types its server password into this file.
        if (!(file.open(QIODevice::WriteOnly) &&
              file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
              file.write(bytes) == bytes.size() && file.flush() && file.commit())) {
            throw QuillmereError(QStringLiteral("%1: the database settings cannot be written (%2)")
                                     .arg(QDir::toNativeSeparators(iniPath), file.errorString()));
        }
        created = true;
    }
    const QList<std::pair<QString, QStringList>> databases{{DbAlarmInfo, settingsTableStatements()},
                                                           {DbAlarmCount, countTableStatements()}};
    for (const auto& [name, statements] : databases) {
        // A name the ini leaves out is not ours to add; opening it reports that.
        if (!QSettings(iniPath, QSettings::IniFormat).childGroups().contains(name))
            continue;
        const DatabaseConfig config = readConfig(name, home);
        // Only the default files are ours to make: a name pointing elsewhere is the plant's,
        // and a mistyped path must fail at start-up, not turn into a new empty table.
        const QString defaultFile = QDir(home).absoluteFilePath(name + QStringLiteral(".sqlite"));
        if (config.driver != QLatin1String("QSQLITE") || config.database != defaultFile ||
            QFileInfo::exists(defaultFile))
            continue;
        createSqliteFile(defaultFile, statements);
        created = true;
    }
    return created;
}

QString openSession(QSqlDatabase& db)
{
    if (!db.open())
        return db.lastError().text();
    if (db.driverName() != QLatin1String("QPSQL"))
        return {};
    // Server settings, so they are set on the session once it is there.
    const QList<std::pair<QString, int>> limits{
        {QStringLiteral("statement_timeout"), StatementTimeoutMs},
        {QStringLiteral("lock_timeout"), LockTimeoutMs}};
    for (const auto& [key, ms] : limits) {
        if (optionNamed(db.connectOptions(), key))
            continue;
        QSqlQuery set(db);
        if (!set.exec(QStringLiteral("SET %1 = %2").arg(key).arg(ms))) {
            const QString message = set.lastError().text();
            db.close();
            return message;
        }
    }
    return {};
}

std::function<QString()> reachabilityCheck(const QString& name)
{
    const QSqlDatabase db = QSqlDatabase::database(name, false);
    const QString driver = db.driverName(), host = db.hostName(), database = db.databaseName(),
                  user = db.userName(), password = db.password(), options = db.connectOptions();
    const int port = db.port();
    return [=]() -> QString {
        static std::atomic<int> serial{0};
        const QString probe = name + QStringLiteral("-reachable-%1").arg(++serial);
        QString message;
        {
            QSqlDatabase check = QSqlDatabase::addDatabase(driver, probe);
            check.setHostName(host);
            check.setPort(port);
            check.setDatabaseName(database);
            check.setUserName(user);
            check.setPassword(password);
            check.setConnectOptions(options);
            if (!check.open())
                message = check.lastError().databaseText().trimmed();
            if (message.isEmpty() && !check.isOpen())
                message = check.lastError().text().trimmed();
            check.close();
        }
        QSqlDatabase::removeDatabase(probe);
        return message;
    };
}

bool sharesTheSettingsDatabase(const QString& home)
{
    const DatabaseConfig settings = readConfig(DbAlarmInfo, home);
    const DatabaseConfig counts = readConfig(DbAlarmCount, home);
    return counts.driver == QLatin1String("QPSQL") && counts.driver == settings.driver &&
           counts.host == settings.host && counts.port == settings.port &&
           counts.database == settings.database;
}

QSqlDatabase openDatabase(const QString& name, const QString& home)
{
    if (QSqlDatabase::contains(name)) {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.isOpen())
            return db;
        const QString message = openSession(db);
        if (message.isEmpty())
            return db;
        db = {};
        QSqlDatabase::removeDatabase(name);
        throw QuillmereError(message);
    }
    const DatabaseConfig config = readConfig(name, home);
    if (!QSqlDatabase::isDriverAvailable(config.driver)) {
        throw QuillmereError(QStringLiteral("The database driver '%1' of %2 is not available")
                                 .arg(config.driver, name));
    }
    if (config.driver == QLatin1String("QSQLITE") && !QFileInfo::exists(config.database)) {
        throw QuillmereError(QStringLiteral("%1: the database file of %2 does not exist")
                                 .arg(QDir::toNativeSeparators(config.database), name));
    }
    QString message;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(config.driver, name);
        db.setDatabaseName(config.database);
        db.setHostName(config.host);
        db.setPort(config.port);
        db.setUserName(config.user);
        db.setPassword(config.password);
        db.setConnectOptions(boundedOptions(config.driver, config.options));
        message = openSession(db);
        if (message.isEmpty())
            return db;
    }
    // Not kept half-made: the next attempt reads the ini again.
    QSqlDatabase::removeDatabase(name);
    throw QuillmereError(message);
}

} // namespace alarms
