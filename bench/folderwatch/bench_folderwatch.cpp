// Another station saves one photo into a folder of 10,000: how much of the
// GUI thread's time the main window spends until the new "已照" mark is in
// (notification, reading the folder in a task, rewriting the changed row),
// and how long that takes. Also the cost of the periodic re-check when
// nothing changed. GUI-thread time is the thread's CPU time: waiting for the
// task costs it nothing.
#include "mainwindow.h"
#include "photofoldersetting.h"
#include "rostermodel.h"
#include "rosterstate.h"
#include "windowbench.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

int fail(const char* what)
{
    std::fprintf(stderr, "bench_folderwatch: %s\n", what);
    return 1;
}

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

QString nameOf(int i)
{
    return QStringLiteral("学生%1").arg(i, 5, 10, QLatin1Char('0'));
}

struct Figures {
    std::vector<double> cpu;
    std::vector<double> wall;
};

void print(const char* what, Figures f)
{
    std::sort(f.cpu.begin(), f.cpu.end());
    std::sort(f.wall.begin(), f.wall.end());
    std::printf("  %-34s GUI thread median %6.2f ms, worst %6.2f ms; until marked median %7.1f ms, worst %7.1f ms\n",
                what, f.cpu[f.cpu.size() / 2], f.cpu.back(), f.wall[f.wall.size() / 2], f.wall.back());
}

}  // namespace

int main(int argc, char** argv)
{
    QTemporaryDir sandbox;
    if (!windowbench::isolate(sandbox))
        return fail("no temporary folder");
    QApplication app(argc, argv);
    constexpr int rows = 10000;
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 10;

    // 10,000 files: the first rows' photos are missing, to be saved one by one.
    const QString folder = sandbox.path() + "/photos";
    if (!QDir().mkpath(folder))
        return fail("cannot make the photo folder");
    Roster roster;
    for (int i = 0; i < rows; ++i) {
        roster.push_back({{nameOf(i), QStringLiteral("三年级二班"), QStringLiteral("G%1").arg(i), QString()}});
        QFile f(folder + "/" + (i < runs ? QStringLiteral("其他%1").arg(i) : nameOf(i)) + ".jpg");
        if (!f.open(QIODevice::WriteOnly))
            return fail("cannot write a photo file");
    }
    if (!photofoldersetting::write(folder))
        return fail("cannot write the photo folder setting");

    MainWindow w;
    w.show();
    RosterState& state = w.rosterState();
    state.setRows(std::move(roster));
    QSignalSpy checked(&state, &RosterState::photosChecked);
    state.startPhotoCheck(folder);
    if (!checked.wait(60000))
        return fail("the first check did not finish");

    auto waitFor = [&](int row, const QString& mark, Figures& figures) {
        QElapsedTimer wall;
        wall.start();
        const double cpu = threadCpuMs();
        while (state.cell(row, RosterModel::photographedColumn) != mark) {
            if (wall.elapsed() > 10000)
                return false;
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
        figures.cpu.push_back(threadCpuMs() - cpu);
        figures.wall.push_back(double(wall.nsecsElapsed()) / 1e6);
        return true;
    };

    // The machine's load beside the figures: wall times mean little without it.
    double load[1] = {0};
    getloadavg(load, 1);
    std::printf("folder watch, %d rows, %d files in the folder, %d runs (load average %.2f)\n", rows, rows, runs,
                load[0]);
    Figures appeared;
    for (int i = 0; i < runs; ++i) {
        QFile f(folder + "/" + nameOf(i) + ".jpg");
        if (!f.open(QIODevice::WriteOnly))
            return fail("cannot write a photo file");
        f.close();
        if (!waitFor(i, QStringLiteral("已照"), appeared))
            return fail("the new photo was not marked");
    }
    print("one new file (notification)", appeared);

    Figures removed;
    for (int i = 0; i < runs; ++i) {
        if (!QFile::remove(folder + "/" + nameOf(i) + ".jpg"))
            return fail("cannot remove a photo file");
        if (!waitFor(i, QString(), removed))
            return fail("the removed photo was not unmarked");
    }
    print("one removed file", removed);

    // Nothing changes: the periodic re-check's own cost.
    Figures idle;
    QSignalSpy refreshed(&state, &RosterState::photoMarksRefreshed);
    for (int i = 0; i < std::min(runs, 3); ++i) {
        const double cpu = threadCpuMs();
        QElapsedTimer wall;
        wall.start();
        if (!refreshed.wait(10000))
            return fail("no periodic re-check");
        idle.cpu.push_back(threadCpuMs() - cpu);
        idle.wall.push_back(double(wall.nsecsElapsed()) / 1e6);
    }
    std::sort(idle.cpu.begin(), idle.cpu.end());
    std::printf("  %-34s GUI thread median %6.2f ms per re-check\n", "re-check, nothing changed",
                idle.cpu[idle.cpu.size() / 2]);
    return 0;
}
