#include "photopath.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

class PhotoPathTest : public QObject {
    Q_OBJECT
private slots:
    void namesBecomeFilesInsideTheFolder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("file");  // empty: refused

        QTest::newRow("plain") << QStringLiteral("张三") << QStringLiteral("张三.jpg");
        QTest::newRow("extension appended again") << QStringLiteral("张三.jpg") << QStringLiteral("张三.jpg.jpg");
        QTest::newRow("upper-case extension kept") << "A.JPG"
                                                   << "A.JPG.jpg";
        QTest::newRow("empty refused") << ""
                                       << "";
        QTest::newRow("slash") << "1班/张三" << QStringLiteral("1班_张三.jpg");
        QTest::newRow("backslash") << "a\\b"
                                   << "a_b.jpg";
        QTest::newRow("climbing out") << "../etc/passwd"
                                      << "___etc_passwd.jpg";
        QTest::newRow("dot dot alone") << ".."
                                       << "__.jpg";
        QTest::newRow("dot alone") << "."
                                   << "_.jpg";
        QTest::newRow("hidden file") << ".x"
                                     << "_x.jpg";
        QTest::newRow("inner dots kept") << "a..b"
                                         << "a..b.jpg";
        QTest::newRow("forbidden characters") << "a<b>c:d\"e|f?g*h"
                                              << "a_b_c_d_e_f_g_h.jpg";
        QTest::newRow("several dropped files") << "x\r\ny"
                                               << "x__y.jpg";
        QTest::newRow("control characters") << QString("t\tn") + QChar(0) + QChar(0x7f) << "t_n__.jpg";
        QTest::newRow("device name") << "CON"
                                     << "_CON.jpg";
        QTest::newRow("device name any case") << "com1"
                                              << "_com1.jpg";
        QTest::newRow("not a device name") << "COM10"
                                           << "COM10.jpg";
        QTest::newRow("longer than a device name") << "CONSOLE"
                                                   << "CONSOLE.jpg";
        QTest::newRow("trailing dot and space kept") << "name. "
                                                     << "name. .jpg";
        QTest::newRow("spaces kept") << " 李 四 " << QStringLiteral(" 李 四 .jpg");
        QTest::newRow("255 bytes allowed")
            << QString(83, QChar(0x5f20)) + "ab" << QString(83, QChar(0x5f20)) + "ab.jpg";
        QTest::newRow("256 bytes refused") << QString(84, QChar(0x5f20)) << "";
        QTest::newRow("very long refused") << QString(300, QLatin1Char('a')) << "";
    }
    void namesBecomeFilesInsideTheFolder()
    {
        QFETCH(QString, name);
        QFETCH(QString, file);
        const QString folder = QStringLiteral("/srv/照片/2026");
        const PhotoPath p = photopath::filePath(folder, name);
        if (file.isEmpty()) {
            QVERIFY(!p.ok());
            QVERIFY(!p.error.isEmpty());
            return;
        }
        QVERIFY2(p.ok(), qPrintable(p.error));
        QCOMPARE(p.path, folder + "/" + file);
        // Whatever the name, the file lies directly in the folder.
        QCOMPARE(QFileInfo(p.path).absolutePath(), folder);
        QCOMPARE(photopath::fileName(name).path, file);
    }

    void folderRules()
    {
        QCOMPARE(photopath::filePath("/srv/photos/", "a").path, QString("/srv/photos/a.jpg"));
        QCOMPARE(photopath::filePath("/", "a").path, QString("/a.jpg"));
        const PhotoPath noFolder = photopath::filePath("", "a");
        QVERIFY(!noFolder.ok());
        QVERIFY(!noFolder.error.isEmpty());
    }

    void photographedCheckTestsTheExactFile()
    {
        QTemporaryDir dir;
        for (const char* file : {"a_b.jpg", "Ab.jpg", "x.jpg.jpg"})
            QVERIFY(QFile(dir.filePath(file)).open(QIODevice::WriteOnly));
        QVERIFY(photopath::exists(dir.path(), "a/b"));  // saved under the safe name
        QVERIFY(photopath::exists(dir.path(), "x.jpg"));
        QVERIFY(!photopath::exists(dir.path(), "ab"));  // letter case counts
        QVERIFY(!photopath::exists(dir.path(), "*"));  // no wildcard
        QVERIFY(!photopath::exists(dir.path(), "x"));
        QVERIFY(!photopath::exists(dir.path(), ""));
    }
};

QTEST_GUILESS_MAIN(PhotoPathTest)
#include "tst_photopath.moc"
