// A tethered camera through libgphoto2, against libgphoto2's own virtual PTP
// camera (the vusb port library with vcamera): it is listed among the
// sources, and 照相 fires its shutter, downloads the picture and cuts the
// photo from it under the frame.
#include "cameracontroller.h"
#include "capcontrol.h"
#include "capturesource.h"
#include "jpegcodec.h"
#include "rostercontroller.h"
#include "shell/stationfixture.h"
#include "viewfindercontroller.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QtTest>

#include <cstdarg>
#include <cstdio>

using namespace capture;

// vcamera 2.5.31 and later formats its names with libgphoto2_port's aprintf,
// which the port library of libgphoto2 2.5.30 (Debian 12) does not export yet:
// this program lends it its own (a malloc'ed string, as vcamera frees it).
extern "C" __attribute__((visibility("default"))) char* aprintf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    char* text = nullptr;
    if (vasprintf(&text, format, args) < 0)
        text = nullptr;
    va_end(args);
    return text;
}

namespace {

// The picture the virtual camera "takes": every capture is a copy of it.
QImage gradient()
{
    QImage image(1200, 800, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 255 / 1199, y * 255 / 799, 96));
    return image;
}

}  // namespace

class TetheredTest : public QObject {
    Q_OBJECT

    QTemporaryDir pictures_;
    QTemporaryDir dev_;
    std::unique_ptr<StationFixture> f;

    template <typename T = QWidget> T* unit(const char* name) { return f->unit<T>(name); }

private slots:
    void initTestCase()
    {
        // The virtual camera is built outside this tree (libgphoto2's vusb and
        // vcamera, 2.5.31 or later, against the system's libgphoto2); the
        // test is told where with STATION_VUSB_DIR.
        const QString iolibs = qEnvironmentVariable("STATION_VUSB_DIR");
        if (iolibs.isEmpty() || !QFile::exists(iolibs + QStringLiteral("/vusb.so")))
            QSKIP("libgphoto2's virtual camera is not here: set STATION_VUSB_DIR to a folder holding vusb.so "
                  "(libgphoto2_port/vusb with vcamera, 2.5.31 or later, built against the system's libgphoto2)");
        QVERIFY(gradient().save(pictures_.filePath(QStringLiteral("DSC_0001.JPG")), "JPEG", 98));
        qputenv("IOLIBS", QFile::encodeName(iolibs));
        qputenv("VCAMERADIR", QFile::encodeName(pictures_.path()));
        const QString d = dev_.path();
        setSourceProvider([d] { return defaultSources(d); });
    }
    void cleanupTestCase() { setSourceProvider({}); }
    void cleanup() { f.reset(); }

    void photoIsTheDownloadedPictureUnderTheFrame()
    {
        f = std::make_unique<StationFixture>();
        MainWindow& w = *f->window;
        capControl* device = w.camera->device();
        QComboBox* box = unit<QComboBox>("组合框");
        QVERIFY2(box->count() >= 4, qPrintable(f->dialogs.texts().join('\n')));
        QCOMPARE(device->driverIndex(), 1);
        QVERIFY2(device->firesShutter(), qPrintable(device->lastError()));
        QVERIFY2(box->itemText(0).contains(QStringLiteral("D750")), qPrintable(box->itemText(0)));

        unit<QPushButton>("预览按钮")->click();
        QVERIFY2(w.camera->state().previewOn(), qPrintable(f->dialogs.texts().join('\n')));
        w.roster()->dropFiles({StationFixture::data("roster/class.xlsx")});
        QTRY_COMPARE(w.roster()->rowCount(), 5);
        unit<QPushButton>("保存字幕")->click();  // caption off: every pixel is the camera's
        if (!unit<QCheckBox>("选择框1")->isChecked())
            unit<QCheckBox>("选择框1")->click();

        unit<QPushButton>("按钮照相")->click();
        const QString saved = f->photoFolder() + QStringLiteral("/姓名.jpg");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(saved), 30000);
        f->waitForSave();
        const Result<QImage> photo = loadJpeg(saved);
        QVERIFY2(photo.ok(), qPrintable(f->dialogs.texts().join('\n')));

        // Without live view the preview shows the capture it downloaded.
        QCOMPARE(device->latestFrame().size(), gradient().size());
        const QRect interior = w.viewfinder->frameInterior().translated(-device->pos());
        const QRectF region = device->widgetToStill(QRectF(interior), gradient().size());
        const QSize size = photo.value().size();
        for (const QPoint p :
             {QPoint(3, 3), QPoint(size.width() - 4, size.height() - 4), QPoint(size.width() / 2, size.height() / 2)}) {
            const double fx = region.left() + (p.x() + 0.5) * region.width() / size.width();
            const double fy = region.top() + (p.y() + 0.5) * region.height() / size.height();
            const QColor want(int(fx) * 255 / 1199, int(fy) * 255 / 799, 96);
            const QColor got = photo.value().pixelColor(p);
            QVERIFY2(qAbs(got.red() - want.red()) <= 12 && qAbs(got.green() - want.green()) <= 12 &&
                         qAbs(got.blue() - want.blue()) <= 12,
                     qPrintable(
                         QStringLiteral("at %1,%2 got %3 want %4").arg(p.x()).arg(p.y()).arg(got.name(), want.name())));
        }
    }
};

QTEST_MAIN(TetheredTest)
#include "tst_tethered.moc"
