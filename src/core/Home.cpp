#include "core/Home.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace core {
namespace {

// <prefix>/share/quillmere beside <prefix>/bin, or empty when the program does not stand in
// an installed tree.
QString installedDataFolder(const QString& programFolder)
{
    const QDir bin(programFolder);
    if (bin.dirName() != QLatin1String("bin"))
        return {};
    const QString share =
        QDir::cleanPath(bin.absoluteFilePath(QStringLiteral("../share/quillmere")));
    return QFileInfo(share).isDir() ? share : QString();
}

} // namespace

QString homeFolder()
{
    const QString fromEnv = qEnvironmentVariable("QUILLMERE_HOME");
    if (!fromEnv.isEmpty())
        return QDir(fromEnv).absolutePath();
    if (!QCoreApplication::instance())
        return QDir::currentPath();
    const QString programFolder = QCoreApplication::applicationDirPath();
    // An installed tree is never the home, even where it is writable (root, or a tree
    // unpacked into a folder of one's own): /usr/bin must not fill with settings and tables.
    if (installedDataFolder(programFolder).isEmpty() && QFileInfo(programFolder).isWritable())
        return programFolder;
    // GenericDataLocation honours $XDG_DATA_HOME and falls back to ~/.local/share.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/quillmere");
}

QString dataFolder()
{
    if (!QCoreApplication::instance())
        return QDir::currentPath();
    const QString programFolder = QCoreApplication::applicationDirPath();
    const QString installed = installedDataFolder(programFolder);
    return installed.isEmpty() ? programFolder : installed;
}

} // namespace core
