// Source listing, the fill mapping and the in-memory BMP file.
#include "aviwriter.h"
#include "capturesource.h"
#include "fillgeometry.h"
#include "formatrule.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

using namespace capture;

class TestCaptureSource : public QObject {
    Q_OBJECT
private slots:
    void machineWithoutCamerasListsOnlyTheTestCamera()
    {
        QTemporaryDir dev;
        // Nodes that look like cameras but are not capture devices.
        QFile plain(dev.filePath(QStringLiteral("video0")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), dev.filePath(QStringLiteral("video1"))));

        QVERIFY(scanCameras(dev.path()).isEmpty());
        const QList<CaptureSource> all = defaultSources(dev.path());
        QCOMPARE(all.size(), 1);
        QVERIFY(all.last().builtIn);
        QCOMPARE(all.last().description, QStringLiteral("内置测试图像"));
    }

    void listDevicesTextIsOneBasedAndTabSeparated()
    {
        CaptureSource cam;
        cam.description = QStringLiteral("USB Camera");
        cam.inputFormat = QStringLiteral("v4l2");
        setSourceProvider([cam] { return QList<CaptureSource>{cam, testCamera()}; });
        QCOMPARE(listDevicesText(), QStringLiteral("1\tUSB Camera\n2\t内置测试图像\n"));
        setSourceProvider({});
    }

    // The enumeration order of a camera must not matter; the current format
    // (first row) is the answer when nothing is smooth.
    void formatRule_data()
    {
        QTest::addColumn<QString>("offered");  // "fmt WxH@fps;..."
        QTest::addColumn<QString>("expected");
        QTest::newRow("MJPEG HD at 30 fps") << "yuyv422 640x480@30;mjpeg 1280x720@30;mjpeg 1920x1080@15"
                                            << "mjpeg 1280x720@30";
        QTest::newRow("MJPEG wins at the same size") << "yuyv422 1280x720@30;mjpeg 1280x720@30;yuyv422 640x480@30"
                                                     << "mjpeg 1280x720@30";
        QTest::newRow("larger raw beats smaller MJPEG") << "mjpeg 640x480@30;yuyv422 800x600@25"
                                                        << "yuyv422 800x600@25";
        QTest::newRow("NTSC rate counts as smooth") << "mjpeg 1920x1080@29.97;mjpeg 1280x720@30"
                                                    << "mjpeg 1920x1080@29.97";
        QTest::newRow("nothing beyond 1080p") << "mjpeg 3840x2160@30;mjpeg 1920x1080@30;mjpeg 1920x1200@30"
                                              << "mjpeg 1920x1080@30";
        QTest::newRow("nothing smooth keeps the current") << "yuyv422 1280x720@10;mjpeg 1920x1080@24"
                                                          << "yuyv422 1280x720@10";
        QTest::newRow("rate not told keeps the current") << "yuyv422 640x480@0;mjpeg 1280x720@0"
                                                         << "yuyv422 640x480@0";
    }
    void formatRule()
    {
        QFETCH(QString, offered);
        QFETCH(QString, expected);
        auto parse = [](const QString& t) {
            const QStringList p = t.split(QRegularExpression(QStringLiteral("[ x@]")));
            return CaptureFormat{QSize(p[1].toInt(), p[2].toInt()), p[0], p[3].toDouble()};
        };
        QList<CaptureFormat> list;
        for (const QString& item : offered.split(QLatin1Char(';')))
            list << parse(item);
        QCOMPARE(chooseFormat(list, list.first()).label(), parse(expected).label());
    }

    void testCameraOffersTheDocumentedSizes()
    {
        QList<QSize> sizes;
        for (const CaptureFormat& f : testCameraFormats())
            sizes << f.size;
        QCOMPARE(sizes.first(), QSize(640, 480));
        QVERIFY(sizes.contains(QSize(1280, 960)));
        QVERIFY(sizes.contains(QSize(1280, 720)));
    }

    void fillMapping_data()
    {
        QTest::addColumn<QSizeF>("frame");
        QTest::addColumn<QSizeF>("widget");
        QTest::addColumn<QRectF>("visible");
        QTest::addColumn<QRectF>("widgetRect");
        QTest::addColumn<QRectF>("frameRect");
        QTest::newRow("same aspect") << QSizeF(640, 480) << QSizeF(480, 360) << QRectF(0, 0, 640, 480)
                                     << QRectF(30, 60, 150, 201) << QRectF(40, 80, 200, 268);
        QTest::newRow("wide frame cropped left and right")
            << QSizeF(1280, 720) << QSizeF(480, 360) << QRectF(160, 0, 960, 720) << QRectF(0, 100, 10, 20)
            << QRectF(160, 200, 20, 40);
        QTest::newRow("tall frame cropped top and bottom")
            << QSizeF(480, 640) << QSizeF(480, 360) << QRectF(0, 140, 480, 360) << QRectF(10, 0, 100, 100)
            << QRectF(10, 140, 100, 100);
        QTest::newRow("small frame enlarged") << QSizeF(320, 240) << QSizeF(480, 360) << QRectF(0, 0, 320, 240)
                                              << QRectF(480 - 3, 0, 3, 3) << QRectF(318, 0, 2, 2);
    }

    void fillMapping()
    {
        QFETCH(QSizeF, frame);
        QFETCH(QSizeF, widget);
        QFETCH(QRectF, visible);
        QFETCH(QRectF, widgetRect);
        QFETCH(QRectF, frameRect);
        const FillMapping m{frame, widget};
        QCOMPARE(m.visibleFrameRect(), visible);
        QCOMPARE(m.widgetToFrame(widgetRect), frameRect);
        // The whole widget is the visible part: no stretch, no blank strips.
        QCOMPARE(m.widgetToFrame(QRectF(QPointF(0, 0), widget)), visible);
        QCOMPARE(visible.width() / visible.height(), widget.width() / widget.height());
    }

    void fillMappingWithoutFrameIsEmpty()
    {
        const FillMapping m{QSizeF(), QSizeF(480, 360)};
        QVERIFY(m.widgetToFrame(QRectF(0, 0, 10, 10)).isNull());
    }

    void bmpFileHeaderAndPixels()
    {
        QImage img(5, 3, QImage::Format_RGB32);  // odd width: rows must not be padded wrongly
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                img.setPixel(x, y, qRgb(x * 50, y * 100, 7));
        const QByteArray bmp = bmpFile(img);
        const auto* p = reinterpret_cast<const uchar*>(bmp.constData());
        QCOMPARE(bmp.left(2), QByteArray("BM"));
        const quint32 data = 5 * 3 * 4;
        QCOMPARE(qFromLittleEndian<quint32>(p + 2), data + 54);
        QCOMPARE(quint32(bmp.size()), data + 54);
        QCOMPARE(qFromLittleEndian<quint16>(p + 6), quint16(0));
        QCOMPARE(qFromLittleEndian<quint16>(p + 8), quint16(0));
        QCOMPARE(qFromLittleEndian<quint32>(p + 10), quint32(54));
        QCOMPARE(qFromLittleEndian<quint32>(p + 14), quint32(40));
        QCOMPARE(qFromLittleEndian<qint32>(p + 18), 5);
        QCOMPARE(qFromLittleEndian<qint32>(p + 22), 3);

        const QImage back = QImage::fromData(bmp, "BMP");
        QCOMPARE(back.size(), img.size());
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                QCOMPARE(back.pixel(x, y) & 0xffffff, img.pixel(x, y) & 0xffffff);
    }

    void mjpegIsTheFirstRecordingCodec()
    {
        const QList<AviCodecChoice> codecs = availableAviCodecs();
        QVERIFY(!codecs.isEmpty());
        QCOMPARE(codecs.first().name, QStringLiteral("mjpeg"));
        QCOMPARE(CompressionSettings().codec, QStringLiteral("mjpeg"));
    }
};

QTEST_GUILESS_MAIN(TestCaptureSource)
#include "tst_capturesource.moc"
