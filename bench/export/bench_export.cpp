// 导出上报 of 2,000 photos of 358 x 441 in 50 classes to the registry preset,
// and the identity-number check of 50,000 rows.
#include "idnumber.h"
#include "jpegcodec.h"
#include "photopreset.h"
#include "uploadexport.h"

#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// A valid and distinct number for each i below 1,000,000.
QString idNumber(int i)
{
    const QString birth = QDate(2008, 1, 1).addDays(i / 1000).toString(QStringLiteral("yyyyMMdd"));
    const QString first17 =
        QStringLiteral("320106") + birth + QStringLiteral("%1").arg(i % 1000, 3, 10, QLatin1Char('0'));
    return first17 + idnumber::checkDigit(first17);
}

double medianOf(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IOLBF, 0);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    // Identity numbers: 50,000 rows, one in a hundred damaged by Excel.
    std::vector<QString> cells;
    for (int i = 0; i < 50000; ++i)
        cells.push_back(i % 100 == 7 ? QStringLiteral("3.20106200809E+17") : idNumber(i));
    std::vector<double> check;
    size_t problems = 0;
    for (int run = 0; run < 7; ++run) {
        QElapsedTimer t;
        t.start();
        const idnumber::ColumnCheck c =
            idnumber::checkColumn(int(cells.size()), [&cells](int row) { return cells[size_t(row)]; });
        check.push_back(t.nsecsElapsed() / 1e6);
        problems = c.problems.size();
    }
    std::printf("identity-number check, 50,000 rows, %zu damaged: %.2f ms (median of 7; target <= 20 ms)\n", problems,
                medianOf(check));

    // 2,000 saved photos of the registry's size, each a different cut of the
    // test portrait so their files are of a real photo's size.
    const QImage portrait(QStringLiteral(STATION_TEST_DATA "/pictures/portrait.png"));
    if (portrait.isNull()) {
        std::printf("no test portrait in tests/data/pictures\n");
        return 1;
    }
    QTemporaryDir dir;
    const QString photos = dir.filePath(QStringLiteral("photos"));
    QDir().mkpath(photos);
    ExportJob job;
    qint64 photoBytes = 0;
    for (int i = 0; i < 2000; ++i) {
        const QString name = QStringLiteral("S%1").arg(i, 4, 10, QLatin1Char('0'));
        const QImage cut = portrait.copy(i % 40, (i / 40) % 40, 400, 493)
                               .scaled(358, 441, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const QByteArray bytes = jpeg::encode(cut, 90).value();
        photoBytes += bytes.size();
        QFile f(photos + QLatin1Char('/') + name + QStringLiteral(".jpg"));
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            return 1;
        job.rows.push_back({{name, idNumber(i), QStringLiteral("%1班").arg(i / 40 + 1), QString()}});
    }
    job.photoColumn = 0;
    job.nameColumn = 1;
    job.groupColumn = 2;
    job.preset = *photopresets::load(QString()).find(QStringLiteral("学籍"));
    job.photoFolder = photos;
    job.outFolder = dir.filePath(QStringLiteral("上报"));

    QElapsedTimer t;
    t.start();
    Result<StagedExport> staged = stageExport(job);
    if (!staged)
        return 1;
    const QString summary = staged->summary();
    if (!staged.value().publish().ok())
        return 1;
    const double seconds = t.nsecsElapsed() / 1e9;
    qint64 zipBytes = 0;
    for (const QFileInfo& zip : QDir(job.outFolder).entryInfoList({QStringLiteral("*.zip")}, QDir::Files))
        zipBytes += zip.size();
    std::printf("export, 2,000 photos 358x441 (%.1f KB each) to 学籍 in 50 class zips on %d threads: %.2f s, "
                "%.0f photos/s, %.1f MB of zips; %s (target <= 10 s)\n",
                photoBytes / 2000.0 / 1000.0, QThread::idealThreadCount(), seconds, 2000 / seconds, zipBytes / 1e6,
                qPrintable(summary));
    return 0;
}
