// The default photo folder: beside the program when photos can go there,
// under the user's Pictures folder otherwise.
#include "programpaths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class ProgramPathsTest : public QObject {
    Q_OBJECT

    QTemporaryDir root_;

    static void setReadOnly(const QString& path, bool readOnly)
    {
        QFile::Permissions p = QFile::ReadOwner | QFile::ExeOwner;
        if (!readOnly)
            p |= QFile::WriteOwner;
        QFile::setPermissions(path, p);
    }

private slots:
    void defaultFolder_data()
    {
        QTest::addColumn<QString>("program");  // writable, read-only or missing
        QTest::addColumn<QString>("year");  // none, writable, read-only or file
        QTest::addColumn<bool>("inPictures");
        QTest::newRow("writable program directory") << "writable"
                                                    << "none" << false;
        QTest::newRow("read-only program directory") << "read-only"
                                                     << "none" << true;
        QTest::newRow("program directory gone") << "missing"
                                                << "none" << true;
        QTest::newRow("writable year folder in a read-only directory") << "read-only"
                                                                       << "writable" << false;
        QTest::newRow("read-only year folder in a writable directory") << "writable"
                                                                       << "read-only" << true;
        QTest::newRow("a file named like the year") << "writable"
                                                    << "file" << true;
    }

    void defaultFolder()
    {
        QFETCH(QString, program);
        QFETCH(QString, year);
        QFETCH(bool, inPictures);
        QVERIFY(root_.isValid());
        const QString programDir = root_.filePath(QString::fromLatin1(QTest::currentDataTag()));
        const QString pictures = root_.filePath("图片");
        const QString yearPath = QDir(programDir).filePath("2031");
        if (program != "missing")
            QVERIFY(QDir().mkpath(programDir));
        if (year == "writable" || year == "read-only")
            QVERIFY(QDir().mkpath(yearPath));
        if (year == "file") {
            QFile f(yearPath);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        if (year == "read-only")
            setReadOnly(yearPath, true);
        if (program == "read-only")
            setReadOnly(programDir, true);

        const bool bitsIgnored = (program == "read-only" && QFileInfo(programDir).isWritable() && year == "none") ||
                                 (year == "read-only" && QFileInfo(yearPath).isWritable());
        const paths::DefaultFolder got = paths::defaultFolderFor(programDir, pictures, 2031);
        setReadOnly(programDir, false);  // so the temporary folder can be removed
        setReadOnly(yearPath, false);
        if (bitsIgnored)
            QSKIP("this user may write to read-only folders (root): the case cannot be tried here");

        QCOMPARE(got.inPictures, inPictures);
        QCOMPARE(got.path, QDir::toNativeSeparators(inPictures ? pictures + "/2031" : yearPath));
    }

    // An installed program keeps its photos in the user's Pictures folder
    // even where it could write beside itself (root may write to /usr/bin);
    // run from its build or unpacked folder it keeps them beside itself.
    void anInstalledProgramNeverKeepsPhotosBesideItself()
    {
#ifdef Q_OS_WIN
        QSKIP("Windows decides by Program Files being read-only");
#endif
        QVERIFY(root_.isValid());
        const QString pictures = root_.filePath("图片");
        const QString prefixBin = root_.filePath("prefix/bin");
        const QString build = root_.filePath("build");
        QVERIFY(QDir().mkpath(prefixBin) && QDir().mkpath(build));
        QVERIFY(QFile::link(prefixBin, root_.filePath("linked-bin")));
        const QString inPictures = QDir::toNativeSeparators(pictures + "/2031");

        for (const QString& installed :
             {QStringLiteral("/usr/bin"), QStringLiteral("/usr/local/bin"), QStringLiteral("/opt/photostation/bin"),
              prefixBin, root_.filePath("linked-bin")}) {
            QVERIFY2(paths::isInstalledProgramDirectory(installed, prefixBin), qPrintable(installed));
            const paths::DefaultFolder got = paths::defaultFolderFor(installed, pictures, 2031, prefixBin);
            QVERIFY2(got.inPictures, qPrintable(installed));
            QCOMPARE(got.path, inPictures);
        }
        QVERIFY(!paths::isInstalledProgramDirectory(build, prefixBin));
        const paths::DefaultFolder beside = paths::defaultFolderFor(build, pictures, 2031, prefixBin);
        QCOMPARE(beside.inPictures, false);
        QCOMPARE(beside.path, QDir::toNativeSeparators(build + "/2031"));
        // This test program lies in the build folder, not where it installs to.
        QVERIFY(!paths::isInstalledProgramDirectory(QCoreApplication::applicationDirPath()));
    }

    void shortPathsNameTheHomeFolderAsTilde_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("shown");
        const QString home = QDir::homePath();
        QTest::newRow("in home") << home + "/Pictures/2031"
                                 << "~/Pictures/2031";
        QTest::newRow("untidy") << home + "//图片/./2031/"
                                << "~/图片/2031";
        QTest::newRow("beside home, same prefix") << home + "x/2031" << home + "x/2031";
        QTest::newRow("outside home") << "/srv/photos/2031"
                                      << "/srv/photos/2031";
    }

    void shortPathsNameTheHomeFolderAsTilde()
    {
#ifdef Q_OS_WIN
        QSKIP("Windows paths keep their drive");
#endif
        QFETCH(QString, path);
        QFETCH(QString, shown);
        QCOMPARE(paths::shownShort(path), shown);
    }

    void overriddenProgramDirectoryIsUsedAndRestored()
    {
        const QString real = paths::programDirectory();
        QCOMPARE(real, QDir::toNativeSeparators(QCoreApplication::applicationDirPath()));
        paths::setProgramDirectoryForTesting(root_.filePath("elsewhere"));
        QCOMPARE(paths::defaultFolder().inPictures, true);
        QVERIFY(paths::defaultPhotoFolder().startsWith(paths::picturesDirectory()));
        paths::setProgramDirectoryForTesting({});
        QCOMPARE(paths::programDirectory(), real);
    }
};

QTEST_GUILESS_MAIN(ProgramPathsTest)
#include "tst_programpaths.moc"
