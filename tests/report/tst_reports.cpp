#include "census.h"
#include "contactsheet.h"
#include "missinglist.h"
#include "photocheck.h"
#include "photopath.h"
#include "rosterread.h"
#include "testfiles.h"
#include "testroster.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <xlsxwriter.h>

namespace {

void writeWorkbook(const QString& path, const QList<QStringList>& rows)
{
    lxw_workbook* book = workbook_new(QFile::encodeName(path).constData());
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < rows[r].size(); ++c)
            worksheet_write_string(sheet, lxw_row_t(r), lxw_col_t(c), rows[r][c].toUtf8().constData(), nullptr);
    QCOMPARE(workbook_close(book), LXW_NO_ERROR);
}

void putPhoto(const QDir& folder, const QString& name, QColor colour = Qt::darkCyan)
{
    QImage photo(151, 201, QImage::Format_RGB32);
    photo.fill(colour);
    QVERIFY(photo.save(folder.filePath(photopath::fileName(name).path), "JPG"));
}

// The temporaries a write left behind in folder.
QStringList temporaries(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral(".*.tmp")}, QDir::Files | QDir::Hidden);
}

QString pdfText(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

int pdfPages(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {path});
    p.waitForFinished(60000);
    const QString info = QString::fromUtf8(p.readAllStandardOutput());
    const QRegularExpression pages(QStringLiteral("Pages:\\s+(\\d+)"));
    return pages.match(info).captured(1).toInt();
}

// Present: S001, a/b (saved as a_b.jpg). Missing: S002, S004 (with a comma).
const QList<QStringList> classRows{{QStringLiteral("S001"), QStringLiteral("张三"), QStringLiteral("一班")},
                                   {QStringLiteral("S002"), QStringLiteral("李四"), QStringLiteral("一班")},
                                   {QStringLiteral("a/b"), QStringLiteral("王五"), QStringLiteral("二班")},
                                   {QStringLiteral("S004"), QStringLiteral("赵,\"六\""), QStringLiteral("二班")}};

}  // namespace

class ReportsTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QDir folder_;

private slots:
    void initTestCase()
    {
        folder_ = QDir(dir_.filePath(QStringLiteral("photos")));
        QVERIFY(QDir().mkpath(folder_.path()));
        putPhoto(folder_, QStringLiteral("S001"));
        putPhoto(folder_, QStringLiteral("a_b"));
        // Neither a photo of S002: another letter case, a replaced copy in the subfolder.
        putPhoto(folder_, QStringLiteral("s002"));
        QVERIFY(folder_.mkdir(QStringLiteral("已替换")));
        putPhoto(QDir(folder_.filePath(QStringLiteral("已替换"))), QStringLiteral("S002"));
        // Nor is a link to no file a photo of S004.
        QVERIFY(
            QFile::link(folder_.filePath(QStringLiteral("gone.jpg")), folder_.filePath(QStringLiteral("S004.jpg"))));
    }

    void listingAnswersLikeTheOnePhotoRule()
    {
        const PhotoFolderListing listing(folder_.path());
        for (const QString& name :
             {QStringLiteral("S001"), QStringLiteral("S002"), QStringLiteral("s002"), QStringLiteral("a/b"),
              QStringLiteral("a_b"), QStringLiteral("S004"), QString(), QStringLiteral("..")})
            QCOMPARE(listing.has(name), photopath::exists(folder_.path(), name));
        // The roster's check is the same listing.
        const std::vector<QString> names{QStringLiteral("S001"), QStringLiteral("S002"), QStringLiteral("a/b"),
                                         QStringLiteral("S004")};
        QCOMPARE(photographedNames(folder_.path(), names), std::vector<bool>({true, false, true, false}));
        QVERIFY(!PhotoFolderListing(dir_.filePath(QStringLiteral("none"))).has(QStringLiteral("S001")));
    }

    void missingListAsCsvByteForByte()
    {
        const PhotoCensus census = takeCensus(rosterOf(classRows), 0, folder_.path());
        QCOMPARE(census.done, 2);
        QCOMPARE(census.summary(), QStringLiteral("共 4 人，已照 2 人，未照 2 人"));
        const QString path = dir_.filePath(QStringLiteral("missing.csv"));
        QVERIFY(writeMissingList(census, path).ok());
        QCOMPARE(readAll(path), QByteArray("\xEF\xBB\xBF"
                                           "S002,李四,一班\r\n"
                                           "S004,\"赵,\"\"六\"\"\",二班\r\n"
                                           "共 4 人，已照 2 人，未照 2 人\r\n"));
    }

    void missingListAsXlsxReadsBack()
    {
        const PhotoCensus census = takeCensus(rosterOf(classRows), 0, folder_.path());
        const QString path = dir_.filePath(QStringLiteral("missing.xlsx"));
        QVERIFY(writeMissingList(census, path).ok());
        const Result<Roster> read =
            readRosterRows(path, {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
        QVERIFY2(read.ok(), qPrintable(read.error()));
        QCOMPARE(read.value().size(), size_t(3));
        QCOMPARE(read.value()[0].cells[0], QStringLiteral("S002"));
        QCOMPARE(read.value()[1].cells[1], QStringLiteral("赵,\"六\""));
        QCOMPARE(read.value()[2].cells[0], QStringLiteral("共 4 人，已照 2 人，未照 2 人"));
        // Any other kind of file is refused, and nothing is written.
        const Status refused = writeMissingList(census, dir_.filePath(QStringLiteral("missing.txt")));
        QVERIFY(!refused.ok());
        QVERIFY(!QFile::exists(dir_.filePath(QStringLiteral("missing.txt"))));
    }

    void contactSheetHasASectionPerClassAndPages()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        QList<QStringList> rows = classRows;
        // A third class of 31 pupils needs two pages.
        for (int i = 0; i < 31; ++i)
            rows << QStringList{QStringLiteral("T%1").arg(i, 2, 10, QLatin1Char('0')), QStringLiteral("学生%1").arg(i),
                                QStringLiteral("三班")};
        const QString path = dir_.filePath(QStringLiteral("sheet.pdf"));
        ContactSheetJob job{takeCensus(rosterOf(rows), 0, folder_.path()), folder_.path(), 0, 1, 2, path};
        const Result<int> pages = writeContactSheet(job);
        QVERIFY2(pages.ok(), qPrintable(pages.error()));
        QCOMPARE(pages.value(), 4);
        QCOMPARE(pdfPages(path), 4);
        const QString text = pdfText(path);
        for (const QString& expected :
             {QStringLiteral("一班"), QStringLiteral("二班"), QStringLiteral("三班"), QStringLiteral("第 4 页"),
              QStringLiteral("S001"), QStringLiteral("张三"), QStringLiteral("未照"), QStringLiteral("T30")})
            QVERIFY2(text.contains(expected), qPrintable(expected));
        // 35 people, 2 photos: one "未照" box per missing person.
        QCOMPARE(text.count(QStringLiteral("未照")), 35 - 2);
    }

    void cancelledSheetLeavesNothing()
    {
        const QString path = dir_.filePath(QStringLiteral("cancelled.pdf"));
        ContactSheetJob job{takeCensus(rosterOf(classRows), 0, folder_.path()), folder_.path(), 0, 1, 2, path};
        const Result<int> pages = writeContactSheet(job, [](int done, int) { return done < 2; });
        QVERIFY(!pages.ok());
        QVERIFY(!QFile::exists(path));
        QCOMPARE(temporaries(dir_.path()), QStringList());
    }

    // Two rows whose photo names make one file: the file is the first row's,
    // as the roster list marks it, in the count, the list and the sheet.
    void aPhotoSharedByTwoRowsIsTheFirstRowsOnly()
    {
        const Roster rows = rosterOf({{QStringLiteral("S001"), QStringLiteral("张三"), QStringLiteral("一班")},
                                      {QStringLiteral("S001"), QStringLiteral("张三"), QStringLiteral("二班")},
                                      {QStringLiteral("a/b"), QStringLiteral("王五"), QStringLiteral("二班")},
                                      {QStringLiteral("a_b"), QStringLiteral("钱七"), QStringLiteral("三班")}});
        const PhotoCensus census = takeCensus(rows, 0, folder_.path());
        QCOMPARE(census.photographed, QList<bool>({true, false, true, false}));
        QCOMPARE(census.summary(), QStringLiteral("共 4 人，已照 2 人，未照 2 人"));
        QCOMPARE(missingListCsv(census), QByteArray("\xEF\xBB\xBF"
                                                    "S001,张三,二班\r\n"
                                                    "a_b,钱七,三班\r\n"
                                                    "共 4 人，已照 2 人，未照 2 人\r\n"));
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        const QString path = dir_.filePath(QStringLiteral("shared.pdf"));
        const Result<int> pages = writeContactSheet({census, folder_.path(), 0, 1, 2, path});
        QVERIFY2(pages.ok(), qPrintable(pages.error()));
        // The second 张三 and 钱七 get a "未照" box, not the first one's photo.
        QCOMPARE(pdfText(path).count(QStringLiteral("未照")), 2);
    }

    // A report written over an older one keeps it in "已替换" beside it; one
    // that cannot be put in place says which file and leaves nothing behind.
    void anOlderReportIsKeptAndAFailureNamesTheReport()
    {
        QTemporaryDir out;
        const PhotoCensus census = takeCensus(rosterOf(classRows), 0, folder_.path());
        const QString csv = out.filePath(QStringLiteral("名单.csv"));
        const QString pdf = out.filePath(QStringLiteral("总览.pdf"));
        for (const QString& path : {csv, pdf}) {
            QFile older(path);
            QVERIFY(older.open(QIODevice::WriteOnly));
            older.write("an older report");
        }
        QVERIFY(writeMissingList(census, csv).ok());
        QVERIFY(writeContactSheet({census, folder_.path(), 0, 1, 2, pdf}).ok());
        QVERIFY(readAll(csv).startsWith("\xEF\xBB\xBFS002"));
        QVERIFY(readAll(pdf).startsWith("%PDF-"));
        const QDir kept(out.filePath(QStringLiteral("已替换")));
        const QStringList copies = kept.entryList(QDir::Files, QDir::Name);
        QCOMPARE(copies.size(), 2);
        QVERIFY2(copies[0].startsWith(QStringLiteral("名单-")) && copies[0].endsWith(QStringLiteral(".csv")),
                 qPrintable(copies[0]));
        QVERIFY2(copies[1].startsWith(QStringLiteral("总览-")) && copies[1].endsWith(QStringLiteral(".pdf")),
                 qPrintable(copies[1]));
        for (const QString& copy : copies)
            QCOMPARE(readAll(kept.filePath(copy)), QByteArray("an older report"));

        // A folder holds the name: neither report can take it.
        for (const QString& name : {QStringLiteral("busy.xlsx"), QStringLiteral("busy.pdf")}) {
            QVERIFY(QDir(out.path()).mkdir(name));
            const QString path = out.filePath(name);
            const QString error = name.endsWith(QStringLiteral(".pdf"))
                                      ? writeContactSheet({census, folder_.path(), 0, 1, 2, path}).error()
                                      : writeMissingList(census, path).error();
            QVERIFY2(error.contains(name), qPrintable(error));
        }
        QCOMPARE(temporaries(out.path()), QStringList());
        // A sheet never goes out under a photo's name.
        const Result<int> asPhoto = writeContactSheet({census, folder_.path(), 0, 1, 2, out.filePath("S001.jpg")});
        QVERIFY(asPhoto.error().contains(QStringLiteral(".pdf")));
        QVERIFY(!QFile::exists(out.filePath("S001.jpg")));
    }

    void commandLine()
    {
        const QString workbook = dir_.filePath(QStringLiteral("class.xlsx"));
        writeWorkbook(workbook, classRows);
        auto run = [](const QStringList& arguments, QByteArray* printed = nullptr) {
            QProcess p;
            p.start(QStringLiteral(PHOTOSTATION_EXECUTABLE), arguments);
            if (!p.waitForFinished(60000))
                return -1;
            if (printed)
                *printed = p.readAllStandardOutput();
            return p.exitCode();
        };
        const QString csv = dir_.filePath(QStringLiteral("cli.csv"));
        QByteArray printed;
        QCOMPARE(run({QStringLiteral("--missing"), workbook, QStringLiteral("--folder"), folder_.path(),
                      QStringLiteral("-o"), csv},
                     &printed),
                 0);
        QCOMPARE(QString::fromUtf8(printed), QStringLiteral("共 4 人，已照 2 人，未照 2 人\n"));
        QVERIFY(readAll(csv).startsWith("\xEF\xBB\xBFS002,李四,一班\r\n"));
        // Other columns: the photo name taken from column B finds no photo at all.
        QCOMPARE(run({QStringLiteral("--missing"), workbook, QStringLiteral("--folder"), folder_.path(),
                      QStringLiteral("--columns"), QStringLiteral("B,A,C"), QStringLiteral("-o"), csv},
                     &printed),
                 0);
        QCOMPARE(QString::fromUtf8(printed), QStringLiteral("共 4 人，已照 0 人，未照 4 人\n"));

        const QString pdf = dir_.filePath(QStringLiteral("cli.pdf"));
        QCOMPARE(run({QStringLiteral("--contact-sheet"), workbook, QStringLiteral("--folder"), folder_.path(),
                      QStringLiteral("--group-by"), QStringLiteral("C"), QStringLiteral("-o"), pdf}),
                 0);
        QVERIFY(QFileInfo(pdf).size() > 0);
        // Bad arguments and unreadable input.
        QCOMPARE(run({QStringLiteral("--contact-sheet"), workbook, QStringLiteral("--folder"), folder_.path(),
                      QStringLiteral("--group-by"), QStringLiteral("Z"), QStringLiteral("-o"), pdf}),
                 2);
        QCOMPARE(run({QStringLiteral("--missing"), workbook, QStringLiteral("--folder"),
                      dir_.filePath(QStringLiteral("nowhere")), QStringLiteral("-o"), csv}),
                 2);
        QCOMPARE(run({QStringLiteral("--missing"), dir_.filePath(QStringLiteral("absent.xlsx")),
                      QStringLiteral("--folder"), folder_.path(), QStringLiteral("-o"), csv}),
                 1);
    }
};

QTEST_MAIN(ReportsTest)
#include "tst_reports.moc"
