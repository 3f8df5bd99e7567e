// Cost of one TmrHome tick with thirty live slots, and start-up time to the first shown window.
// Offscreen; figures are printed against a baseline measured in the same run.
#include "../../tests/ui/RecordingDialogs.h"
#include "app/QuillmereApplication.h"
#include "app/StartUp.h"
#include "ui/main/TController.h"
#include "ui/main/TFmHome.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Every slot of every Monitor gets new texts, as a fast poll cycle would leave them.
void changeAllValues(TFmHome& home, int round)
{
    StationModel& model = home.engine().model();
    QMutexLocker lock(&model.mutex);
    for (int m = 1; m <= 3; ++m)
        for (int s = 1; s <= 10; ++s) {
            StationRecord& r = model.station(m, s);
            r.PvText = QString::number(200 + (round + s) % 50) + QStringLiteral(".") +
                       QString::number(round % 10);
            r.SvText = QString::number(250 + m) + QStringLiteral(".0");
            r.OutText = QString::number((round * 37 + s * 11) % 1000);
        }
}

void flushPaint()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QElapsedTimer startUp;
    startUp.start();
    RecordingDialogs dialogs;
    QuillmereApplication app(argc, argv, dialogs);
    Program program(dialogs);
    if (!program.start()) {
        std::fprintf(stderr, "start-up failed: %s\n", qPrintable(dialogs.messages.join('\n')));
        return 1;
    }
    TFmHome* home = program.windows().FmHome;
    flushPaint();
    const double startUpMs = startUp.nsecsElapsed() / 1e6;

    // Baseline for start-up: a bare window of the same size shown in the same process.
    QElapsedTimer bareClock;
    bareClock.start();
    QWidget bare;
    bare.resize(home->size());
    bare.show();
    flushPaint();
    const double bareMs = bareClock.nsecsElapsed() / 1e6;

    constexpr int Rounds = 400;
    std::vector<double> tick, tickPaint, naive;
    for (int round = 0; round < Rounds; ++round) {
        changeAllValues(*home, round);
        QElapsedTimer t;
        t.start();
        home->TmrHomeTimer();
        tick.push_back(t.nsecsElapsed() / 1e6);
        flushPaint();
        tickPaint.push_back(t.nsecsElapsed() / 1e6);
    }
    // Naive baseline: the same ten tiles refreshed by setting every control each time.
    QPixmap link(17, 17);
    link.fill(Qt::green);
    for (int round = 0; round < Rounds; ++round) {
        changeAllValues(*home, round);
        QElapsedTimer t;
        t.start();
        StationModel& model = home->engine().model();
        for (int s = 1; s <= 10; ++s) {
            TController* tile = home->tile(1, s);
            QMutexLocker lock(&model.mutex);
            const StationRecord& r = model.station(1, s);
            tile->findChild<QLineEdit*>(QStringLiteral("TxtPV"))->setText(r.PvText);
            tile->findChild<QLineEdit*>(QStringLiteral("TxtSV"))->setText(r.SvText);
            tile->findChild<QLabel*>(QStringLiteral("ImgLink"))->setPixmap(link);
            tile->findChild<QProgressBar*>(QStringLiteral("PrgOut"))->setValue(r.OutText.toInt());
        }
        flushPaint();
        naive.push_back(t.nsecsElapsed() / 1e6);
    }

    const double tickMs = median(tick);
    std::printf("ui refresh, %d ticks, offscreen\n", Rounds);
    std::printf("  tick (model to tiles)            median %.3f ms\n", tickMs);
    std::printf("  tick + repaint                   median %.3f ms\n", median(tickPaint));
    std::printf("  naive refresh + repaint          median %.3f ms\n", median(naive));
    std::printf("  ratio tick+repaint / naive       %.2f\n", median(tickPaint) / median(naive));
    std::printf("  target: tick <= 2 ms             %s\n", tickMs <= 2.0 ? "met" : "MISSED");
    std::printf("start-up, main() to first shown window: %.1f ms (bare window %.1f ms, ratio %.1f)"
                "; target <= 1000 ms: %s\n",
                startUpMs, bareMs, startUpMs / bareMs, startUpMs <= 1000 ? "met" : "MISSED");
    home->close();
    std::printf("tmrhome tick ms: %.2f\n", tickMs);
    return 0;
}
