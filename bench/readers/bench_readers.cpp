// Roster import of a 50,000-row workbook (.xlsx and .xls): time and peak memory,
// against openpyxl in read-only mode reading the same cells. Prints figures only.
#include "rosterread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <sys/resource.h>
#include <time.h>

#include <cstdio>

namespace {

constexpr int rows = 50000;
constexpr int runs = 5;
const char* python = "/usr/bin/python3";

// One import in this process: prints "<seconds> <rows> <peak KiB> <CPU seconds>".
int importOnce(const QString& path)
{
    QElapsedTimer timer;
    timespec cpu0{}, cpu1{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu0);
    timer.start();
    const Result<Roster> r = readRosterRows(path, {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    const double seconds = timer.nsecsElapsed() / 1e9;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu1);
    const double cpuSeconds = double(cpu1.tv_sec - cpu0.tv_sec) + (cpu1.tv_nsec - cpu0.tv_nsec) / 1e9;
    if (!r) {
        std::fprintf(stderr, "%s\n", qPrintable(r.error()));
        return 1;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%.6f %zu %ld %.6f\n", seconds, r->size(), usage.ru_maxrss, cpuSeconds);
    return 0;
}

QStringList run(const QString& program, const QStringList& arguments)
{
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(-1) || p.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), p.readAllStandardError().constData());
        std::exit(1);
    }
    return QString::fromUtf8(p.readAllStandardOutput()).split(u' ', Qt::SkipEmptyParts);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == u"--import")
        return importOnce(args[2]);

    QTemporaryDir dir;
    run(QString::fromLatin1(python),
        {QStringLiteral(BENCH_SCRIPT), QStringLiteral("make"), dir.path(), QString::number(rows)});
    std::printf("roster import, %d rows x 3 columns, best of %d runs (each in its own process)\n", rows, runs);
    for (const char* kind : {"xlsx", "xls"}) {
        const QString file = dir.filePath(QStringLiteral("roster.") + QLatin1String(kind));
        double best = 1e9;
        double bestCpu = 1e9;
        long peak = 0;
        QString count;
        for (int i = 0; i < runs; ++i) {
            const QStringList f = run(app.applicationFilePath(), {QStringLiteral("--import"), file});
            best = std::min(best, f[0].toDouble());
            peak = std::max(peak, f[2].toLong());
            bestCpu = std::min(bestCpu, f[3].toDouble());
            count = f[1];
        }
        double openpyxl = 0;
        if (QLatin1String(kind) == u"xlsx") {
            const QStringList f =
                run(QString::fromLatin1(python), {QStringLiteral(BENCH_SCRIPT), QStringLiteral("openpyxl"), file});
            openpyxl = f[0].toDouble();
        }
        const bool xlsx = QLatin1String(kind) == u"xlsx";
        std::printf("  .%-4s %7.1f ms (CPU %6.1f ms)  peak %6.1f MB  rows %s  target %s\n", kind, best * 1000,
                    bestCpu * 1000, peak / 1024.0, qPrintable(count), xlsx ? "<= 100 ms, <= 40 MB" : "<= 40 ms");
        if (openpyxl > 0)
            std::printf("         reference: openpyxl read-only %7.1f ms  (%.1fx faster)\n", openpyxl * 1000,
                        openpyxl / best);
        else
            std::printf("         reference: none runs here (openpyxl reads no .xls)\n");
    }
    std::printf("(wall time on a loaded machine runs above CPU time; both are shown)\n");
    return 0;
}
