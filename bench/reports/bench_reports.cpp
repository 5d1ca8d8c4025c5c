// Missing list over 50,000 rows and files; contact sheet of 2,000 photos.
#include "census.h"
#include "contactsheet.h"
#include "missinglist.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

Roster rosterOf(int rows)
{
    Roster roster;
    roster.reserve(size_t(rows));
    for (int i = 0; i < rows; ++i)
        roster.push_back({{QStringLiteral("G%1").arg(i, 6, 10, QLatin1Char('0')), QStringLiteral("学生%1").arg(i),
                           QStringLiteral("%1班").arg(i / 40 + 1), QString()}});
    return roster;
}

void touchPhotos(const QString& folder, int count, int step, const QByteArray& bytes)
{
    for (int i = 0; i < count; i += step) {
        QFile f(folder + QStringLiteral("/G%1.jpg").arg(i, 6, 10, QLatin1Char('0')));
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
    }
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
    QTemporaryDir dir;

    // 50,000 rows, 50,000 files in the folder of which 25,000 are the rows' photos.
    const int rows = 50000;
    const Roster roster = rosterOf(rows);
    touchPhotos(dir.path(), rows, 2, QByteArray("x"));
    for (int i = 0; i < rows / 2; ++i) {
        QFile f(dir.path() + QStringLiteral("/other%1.jpg").arg(i));
        if (f.open(QIODevice::WriteOnly))
            f.write("x");
    }
    std::vector<double> census;
    std::vector<double> csv;
    std::vector<double> xlsx;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer t;
        t.start();
        const PhotoCensus c = takeCensus(roster, 0, dir.path());
        census.push_back(t.nsecsElapsed() / 1e6);
        t.restart();
        if (!writeMissingList(c, dir.filePath(QStringLiteral("missing.csv"))).ok())
            return 1;
        csv.push_back(t.nsecsElapsed() / 1e6 + census.back());
        t.restart();
        if (!writeMissingList(c, dir.filePath(QStringLiteral("missing.xlsx"))).ok())
            return 1;
        xlsx.push_back(t.nsecsElapsed() / 1e6 + census.back());
    }
    std::printf("missing list, 50,000 rows, 50,000 files (median of 5; target <= 200 ms)\n");
    std::printf("  census alone %7.1f ms\n  census + CSV %7.1f ms\n  census + xlsx %6.1f ms\n", medianOf(census),
                medianOf(csv), medianOf(xlsx));

    // Contact sheet: 2,000 rows in 50 classes, 1,900 photos of 151 x 201.
    QTemporaryDir photos;
    QImage photo(151, 201, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixel(x, y, qRgb(x, y, (x * y) & 255));
    QByteArray jpeg;
    {
        QFile f(photos.filePath(QStringLiteral("G000000.jpg")));
        photo.save(&f, "JPG", 90);
    }
    {
        QFile f(photos.filePath(QStringLiteral("G000000.jpg")));
        f.open(QIODevice::ReadOnly);
        jpeg = f.readAll();
    }
    touchPhotos(photos.path(), 1900, 1, jpeg);
    ContactSheetJob job{takeCensus(rosterOf(2000), 0, photos.path()), photos.path(), 0, 1, 2,
                        photos.filePath(QStringLiteral("sheet.pdf"))};
    QElapsedTimer t;
    t.start();
    const Result<int> pages = writeContactSheet(job);
    const double seconds = t.nsecsElapsed() / 1e9;
    if (!pages)
        return 1;
    std::printf("contact sheet, 2,000 rows (1,900 photos 151x201), %d pages: %.2f s, %.1f MB (target <= 20 s)\n",
                pages.value(), seconds, QFileInfo(job.path).size() / 1e6);
    return 0;
}
