// quillmere-history [--folder <record folder>] [--audit <audit folder>]: the history viewer.
// It reads the record folder (a copy or a share will do) and never writes into it; its own
// settings go to the home the main program would use here.
#include "app/QtDialogService.h"
#include "app/QuillmereApplication.h"
#include "core/Home.h"
#include "ui/history/TFmHistory.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv)
{
    QtDialogService dialogs;
    QuillmereApplication app(argc, argv, dialogs);
    QCoreApplication::setApplicationName(QStringLiteral("Quillmere History"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Views the data files Quillmere Control records: charts, statistics, "
                       "CSV and a PDF report."));
    parser.addHelpOption();
    const QCommandLineOption folder(QStringLiteral("folder"),
                                    QStringLiteral("The record folder (holding Monitor1..3)."),
                                    QStringLiteral("record folder"));
    const QCommandLineOption audit(
        QStringLiteral("audit"),
        QStringLiteral("The audit trail folder, for the alarms of the report."),
        QStringLiteral("audit folder"));
    parser.addOption(folder);
    parser.addOption(audit);
    parser.process(app);
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(parser.helpText()));
        return 2;
    }

    const QString home = core::homeFolder();
    HistoryOptions options;
    options.folder = parser.value(folder);
    options.auditFolder =
        parser.isSet(audit) ? parser.value(audit) : QDir(home).filePath(QStringLiteral("audit"));
    options.home = home;
    QDir().mkpath(home);
    TFmHistory window(dialogs, options);
    window.show();
    // Opened on a folder (from the main program): the last day is on the screen at once.
    if (!options.folder.isEmpty())
        QTimer::singleShot(0, &window, [&window] { window.showLast(24); });
    return app.exec();
}
