// quillmere-audit verify <folder>: checks the hash chain of an audit folder and prints the
// first broken link, or "chain intact" with the count of entries.
#include "audit/AuditChain.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3 || args.at(1) != QLatin1String("verify")) {
        std::fprintf(stderr, "usage: quillmere-audit verify <folder>\n");
        return 2;
    }
    const QString folder = args.at(2);
    if (!QFileInfo(folder).isDir()) {
        std::fprintf(stderr, "quillmere-audit: %s is not a folder\n", qPrintable(folder));
        return 2;
    }
    const audit::ChainReport report = audit::verifyFolder(folder);
    std::printf("%s\n", qPrintable(audit::reportText(report)));
    return report.intact ? 0 : 1;
}
