#include "core/Home.h"

#include <QCoreApplication>
#include <QDir>

namespace core {

QString homeFolder()
{
    const QString fromEnv = qEnvironmentVariable("QUILLMERE_HOME");
    if (!fromEnv.isEmpty())
        return QDir(fromEnv).absolutePath();
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QDir::currentPath();
}

} // namespace core
