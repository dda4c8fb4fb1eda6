// The records window's figures on a store of 100 000 self-test records of 40 steps: the time from
// opening the window to its first runs painted (all boards, and one board), and the longest the window's
// event loop stalls while a step's charts are computed over every board.
//   bench_records_window [--records N]       (N defaults to 100000; QT_QPA_PLATFORM=offscreen without a display)
#include "RecordsWindow.h"
#include "RunsModel.h"
#include "SeededStore.h"
#include "SvgChartView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Runs the event loop until `signal` or 60 s; false when it did not come.
template <typename Signal> bool WaitFor(CRecordsWindow& w, Signal signal) {
    QEventLoop loop;
    bool came = false;
    const auto c = QObject::connect(&w, signal, &loop, [&] {
        came = true;
        loop.quit();
    });
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(c);
    return came;
}

// Milliseconds from making the window to its first page of runs painted.
double OpeningMs(const StoreUrl& url, std::optional<uint32_t> board, int* rows) {
    QElapsedTimer t;
    t.start();
    CRecordsWindow w(url, board);
    w.show();
    if (!WaitFor(w, &CRecordsWindow::runsPage)) {
        std::fprintf(stderr, "no runs within 60 s\n");
        std::exit(1);
    }
    w.repaint();
    *rows = w.Runs()->rowCount();
    return double(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int count = 100000;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2)
        if (args[i] == "--records")
            count = args[i + 1].toInt();
    QTemporaryDir dir;
    const QString path = dir.filePath("big.sqlite");
    QElapsedTimer fill;
    fill.start();
    if (!FillSeededStore(path, count, 1)) {
        std::fprintf(stderr, "cannot fill %s\n", qPrintable(path));
        return 1;
    }
    std::printf("filled %d records of %d steps in %.1f s\n", count, kSeededSteps, double(fill.elapsed()) / 1000);
    const StoreUrl url = *ParseStoreUrl("sqlite:" + path, nullptr);
    for (const std::optional<uint32_t> board :
         {std::optional<uint32_t>(), std::optional<uint32_t>(kSeededBoards / 2)}) {
        std::vector<double> times;
        int rows = 0;
        for (int i = 0; i < 7; ++i)
            times.push_back(OpeningMs(url, board, &rows));
        std::printf("window opened to its first %d runs painted (%s): median %.1f ms, max %.1f ms (7 openings)\n", rows,
                    board ? "one board" : "all boards", Median(times), *std::max_element(times.begin(), times.end()));
    }

    // A step's charts over every board's last attempt, computed in the query thread while a timer ticks.
    CRecordsWindow w(url, std::nullopt);
    w.show();
    WaitFor(w, &CRecordsWindow::runsPage);
    w.RunsView()->setCurrentIndex(w.Runs()->index(0, 0));
    WaitFor(w, &CRecordsWindow::stepsShown);
    QElapsedTimer gap;
    double longest = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = std::max(longest, double(gap.nsecsElapsed()) / 1e6);
        gap.restart();
    });
    tick.start(5);
    gap.start();
    QElapsedTimer charts;
    charts.start();
    w.StepsTable()->setCurrentCell(3, 0);
    WaitFor(w, &CRecordsWindow::chartsShown);
    std::printf("a step's charts over %d records: %.0f ms; the window's longest event-loop stall meanwhile %.1f ms "
                "(5 ms timer)\n  %s\n",
                count, double(charts.elapsed()), longest, qPrintable(w.Trend()->accessibleName()));
    return 0;
}
