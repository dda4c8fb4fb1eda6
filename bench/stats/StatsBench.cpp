// The statistics figures: wall time of `records stats` (each board's last attempt, and every attempt) and
// of `records report --html` with the report's size, over a seeded store (the tests' generator).
//   bench_stats [--records N] [--keep FILE]     (N defaults to 100000; --keep leaves the store there)
#include "SeededStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

// Median wall time of the program (process start to end) over `runs`, in ms.
double ProgramMs(const QStringList& arguments, int runs = 5) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QProcess p;
        p.setStandardOutputFile(QProcess::nullDevice());
        QElapsedTimer t;
        t.start();
        p.start(PROGRAM, arguments);
        if (!p.waitForFinished(120000) || p.exitCode() != 0) {
            std::fprintf(stderr, "veltrin-cli %s failed: %s\n", qPrintable(arguments.join(' ')),
                         p.readAllStandardError().constData());
            std::exit(1);
        }
        times.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    int count = 100000;
    QString keep;
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--records")
            count = args[i + 1].toInt();
        else if (args[i] == "--keep")
            keep = args[i + 1];
    }
    QTemporaryDir dir;
    const QString path = keep.isEmpty() ? dir.filePath("stats.sqlite") : keep;
    if (!QFileInfo::exists(path)) {
        QElapsedTimer fill;
        fill.start();
        stats_test::FillSeededStore(path, count, 1);
        std::printf("filled %d records of %d steps in %.1f s\n", count, stats_test::kSeededSteps,
                    double(fill.elapsed()) / 1000);
    }
    const QString store = "sqlite:" + path;
    const double empty = ProgramMs({"--version"});
    const double stats = ProgramMs({"records", "stats", "--records", store});
    const double all = ProgramMs({"records", "stats", "--all-attempts", "--records", store});
    const double json = ProgramMs({"--json", "records", "stats", "--records", store});
    const QString page = dir.filePath("report.html");
    const double report = ProgramMs({"records", "report", "--records", store, "--html", page});
    const double allReport = ProgramMs({"records", "report", "--all-attempts", "--records", store, "--html", page});
    std::printf("veltrin-cli wall time, median of 5 (program start included; --version alone %.1f ms):\n"
                "  records stats (production, each board's last attempt): %.0f ms\n"
                "  records stats --all-attempts: %.0f ms\n  --json records stats: %.0f ms\n"
                "  records report --html: %.0f ms\n  records report --all-attempts --html: %.0f ms, %.2f MB\n",
                empty, stats, all, json, report, allReport, double(QFileInfo(page).size()) / 1e6);
    return 0;
}
