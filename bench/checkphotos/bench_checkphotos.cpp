// The photo check over a big class: 10,000 roster rows and 10,000 photos in
// the folder (empty files: only the names are read), through the roster
// controller of a real main window, until the marks are in. Prints median and
// worst of the runs.
#include "mainwindow.h"
#include "photofoldersetting.h"
#include "rostercontroller.h"
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
#include <vector>

namespace {

int fail(const char* what)
{
    std::fprintf(stderr, "bench_checkphotos: %s\n", what);
    return 1;
}

int photographed(const RosterModel& model)
{
    int n = 0;
    for (int r = 0; r < model.size(); ++r)
        n += model.cell(r, RosterModel::photographedColumn) == QStringLiteral("已照");
    return n;
}

}  // namespace

int main(int argc, char** argv)
{
    QTemporaryDir sandbox;
    if (!windowbench::isolate(sandbox))
        return fail("no temporary folder");
    QApplication app(argc, argv);
    constexpr int rows = 10000;
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 20;

    const QString folder = sandbox.path() + "/photos";
    if (!QDir().mkpath(folder))
        return fail("cannot make the photo folder");
    // Every other row has its photo; the rest of the folder holds other pupils'.
    Roster roster;
    roster.reserve(rows);
    for (int i = 0; i < rows; ++i) {
        const QString id = QStringLiteral("%1").arg(i, 5, 10, QLatin1Char('0'));
        roster.push_back(
            {{QStringLiteral("学生") + id, QStringLiteral("三年级二班"), QStringLiteral("G") + id, QString()}});
        const QString photo = i % 2 ? QStringLiteral("学生") + id : QStringLiteral("他校学生") + id;
        QFile f(folder + "/" + photo + ".jpg");
        if (!f.open(QIODevice::WriteOnly))
            return fail("cannot write a photo file");
    }
    if (!photofoldersetting::write(folder))
        return fail("cannot write the photo folder setting");

    MainWindow w;
    w.show();
    RosterState& state = w.rosterState();
    RosterModel* model = state.model();
    state.setRows(std::move(roster));
    if (w.roster()->rowCount() != rows)
        return fail("the roster did not take the rows");

    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        model->clearColumn(RosterModel::photographedColumn);
        QElapsedTimer t;
        t.start();
        // The check runs as a task; the time is until its marks are in.
        QSignalSpy checked(&state, &RosterState::photosChecked);
        w.roster()->CheckPhotos();
        if (!checked.wait(60000))
            return fail("the check did not finish");
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
        if (photographed(*model) != rows / 2)
            return fail(
                qPrintable(QStringLiteral("%1 rows marked, %2 expected").arg(photographed(*model)).arg(rows / 2)));
    }
    std::sort(ms.begin(), ms.end());
    std::printf("photo check, %d rows, %d files in the folder, %d runs\n", rows, rows, runs);
    std::printf("  median %7.2f ms   worst %7.2f ms   best %7.2f ms   (%d rows marked)\n", ms[ms.size() / 2], ms.back(),
                ms.front(), photographed(*model));
    return 0;
}
