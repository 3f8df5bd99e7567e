// Cost of the main window's store at closing (every tile, recipe and dialog value), against
// one atomic replacement of a file of the same size measured in the same run.
#include "../../tests/ui/RecordingDialogs.h"
#include "app/QuillmereApplication.h"
#include "app/StartUp.h"
#include "ui/main/TController.h"
#include "ui/main/TFmHome.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("QUILLMERE_HOME", home.path().toLocal8Bit());
    RecordingDialogs dialogs;
    QuillmereApplication app(argc, argv, dialogs);
    Program program(dialogs);
    if (!program.start()) {
        std::fprintf(stderr, "start-up failed: %s\n", qPrintable(dialogs.messages.join('\n')));
        return 1;
    }
    TFmHome* fmHome = program.windows().FmHome;
    const QString path = home.path() + QStringLiteral("/settings.reg");

    constexpr int Rounds = 30;
    std::vector<double> store, reference;
    for (int round = 0; round < Rounds; ++round) {
        // New texts everywhere, so every value really changes.
        for (int m = 1; m <= 3; ++m)
            for (int s = 1; s <= 10; ++s)
                fmHome->tile(m, s)->setTitleText(
                    QStringLiteral("Oven %1-%2 #%3").arg(m).arg(s).arg(round));
        QElapsedTimer t;
        t.start();
        fmHome->FormClose();
        store.push_back(t.nsecsElapsed() / 1e6);

        QFile current(path);
        current.open(QIODevice::ReadOnly);
        const QByteArray bytes = current.readAll();
        t.restart();
        QSaveFile copy(home.path() + QStringLiteral("/reference.reg"));
        copy.open(QIODevice::WriteOnly);
        copy.write(bytes);
        copy.commit();
        reference.push_back(t.nsecsElapsed() / 1e6);
    }
    const double storeMs = median(store);
    const double referenceMs = median(reference);
    std::printf("settings store at close, %d rounds, %lld-byte file\n", Rounds,
                qint64(QFile(path).size()));
    std::printf("  FormClose store                  median %.2f ms\n", storeMs);
    std::printf("  one atomic file replacement      median %.2f ms\n", referenceMs);
    std::printf("  ratio (replacements' worth)      %.2f\n", storeMs / referenceMs);
    std::printf("  target: <= 50 ms                 %s\n", storeMs <= 50 ? "met" : "MISSED");
    std::printf("settings store ms: %.2f\n", storeMs);
    return 0;
}
