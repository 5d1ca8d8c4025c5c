// The 照片规格 chooser on the main window: a preset fills the size boxes and
// decides the saved file's dpi and KB range; a typed size makes it 自定义.
#include "capturesource.h"
#include "jpegfacts.h"
#include "photoservice.h"
#include "presetchooser.h"
#include "stationfixture.h"
#include "testfiles.h"
#include "viewfindercontroller.h"

#include <QtTest>

class PresetChooserTest : public QObject {
    Q_OBJECT

    std::unique_ptr<StationFixture> f;

    template <class T> T* unit(const char* name)
    {
        T* found = f->window->findChild<T*>(QString::fromUtf8(name));
        if (!found)
            qFatal("no unit %s", name);
        return found;
    }
    QComboBox* chooser() { return unit<QComboBox>("照片规格选择框"); }
    const PhotoPreset& preset() { return f->photos().session().preset(); }
    // The photo of the n-th free take.
    QByteArray photo(int n)
    {
        return readAll(f->photoFolder() + "/" + PhotoService::autoNamePrefix() + QString::number(n) + ".jpg");
    }

private slots:
    void initTestCase()
    {
        capture::setSourceProvider([] { return QList<capture::CaptureSource>{capture::testCamera()}; });
    }
    void init() { f = std::make_unique<StationFixture>(); }
    void cleanup() { f.reset(); }

    void choosingFillsTheBoxesAndTypingMakesItCustom()
    {
        QLineEdit* width = unit<QLineEdit>("编辑框3");
        QLineEdit* height = unit<QLineEdit>("编辑框4");
        // Usable with the size boxes: once the preview is on.
        QVERIFY(!chooser()->isEnabled());
        QCOMPARE(chooser()->currentText(), PhotoPreset::customName());
        unit<QPushButton>("预览按钮")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!f->window->camera->device()->latestFrame().isNull(), 10000);
        QVERIFY(chooser()->isEnabled() && width->isEnabled());
        QCOMPARE(chooser()->itemText(chooser()->count() - 1), PhotoPreset::customName());

        // The operator picks the first entry, 学籍, with the keyboard.
        chooser()->setFocus();
        QTest::keyClick(chooser(), Qt::Key_Home);
        QCOMPARE(chooser()->currentText(), QStringLiteral("学籍"));
        QCOMPARE(width->text(), QStringLiteral("358"));
        QCOMPARE(height->text(), QStringLiteral("441"));
        QCOMPARE(f->window->viewfinder->target(), QSize(358, 441));
        QCOMPARE(preset().dpi, 350);
        QVERIFY(chooser()->toolTip().contains(QStringLiteral("不超过 60 KB")));

        // Photos are saved to it: 350 dpi, within 60 KB as 1000 bytes each.
        unit<QCheckBox>("选择框2")->click();  // free shooting, numbered
        unit<QCheckBox>("选择框1")->click();  // saved at once
        f->take();
        const QByteArray first = photo(1);
        QCOMPARE(jfifDpi(first), 350);
        QVERIFY(first.size() > 0 && first.size() <= 60000);
        QCOMPARE(jpeg::decode(first)->size(), QSize(358, 441));

        // 大小上限 narrows the preset's maximum.
        const int narrower = int(first.size() * 6 / 10 / 1000);
        unit<QLineEdit>("大小上限编辑框")->setText(QString::number(narrower));
        f->take();
        QCOMPARE(jfifDpi(photo(2)), 350);
        QVERIFY(photo(2).size() <= narrower * 1000);
        unit<QLineEdit>("大小上限编辑框")->clear();

        // A size typed by hand is 自定义: the preset's dpi no longer holds.
        width->setFocus();
        QTest::keyClick(width, Qt::Key_End);
        QTest::keyClick(width, Qt::Key_Backspace);
        QTest::keyClick(width, Qt::Key_0);
        QCOMPARE(f->window->viewfinder->target(), QSize(350, 441));
        QCOMPARE(chooser()->currentText(), PhotoPreset::customName());
        QVERIFY(preset().isCustom());
        f->take();
        QCOMPARE(jfifDpi(photo(3)), 0);
        QCOMPARE(jpeg::decode(photo(3))->size(), QSize(350, 441));

        // Choosing again fills the boxes again.
        QVERIFY(f->window->presets->choose(QStringLiteral("二寸")));
        QCOMPARE(f->window->viewfinder->target(), QSize(413, 579));
        QCOMPARE(chooser()->currentText(), QStringLiteral("二寸"));
        QVERIFY(f->dialogs.messages.isEmpty());
    }

    void aBrokenPresetsFileIsSaidOnceAndTheShippedOnesServe()
    {
        f.reset();
        const QString file = photopresets::userFile();
        QVERIFY(QDir().mkpath(QFileInfo(file).path()));
        QVERIFY(writeAll(file, "[本校]\n尺寸 = 358x441\n大小 = 六十\n"));
        f = std::make_unique<StationFixture>();
        QTRY_COMPARE(f->dialogs.messages.size(), 1);
        QVERIFY2(f->dialogs.texts().constFirst().contains(QStringLiteral("第 3 行")),
                 qPrintable(f->dialogs.texts().constFirst()));
        QCOMPARE(chooser()->itemText(0), QStringLiteral("学籍"));
        QVERIFY(QFile::remove(file));
    }
};

QTEST_MAIN(PresetChooserTest)
#include "tst_presetchooser.moc"
