// Every unit of the main window: name, kind, place, caption and initial state.
#include "findunit.h"
#include "mainwindow.h"
#include "testdialogs.h"
#include "translabel.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QTimer>
#include <QtTest>

namespace {

struct Unit {
    const char* name;
    const char* kind;  // class name of the widget
    QRect place;  // in the parent's coordinates
    const char* parent;  // nullptr: the window's client area
    const char* text;  // caption, content or group title; nullptr: not checked
    const char* state;  // "", "hidden" or "disabled"
};

const Unit kUnits[] = {
    {"分组框1", "QGroupBox", {10, 16, 734, 96}, nullptr, "文件保存及视频参数设置", ""},
    {"标签200", "QLabel", {8, 27, 40, 17}, "分组框1", "保存到", ""},
    {"编辑框2", "QLineEdit", {48, 24, 360, 24}, "分组框1", nullptr, "disabled"},
    {"透明标签4", "TransLabel", {50, 24, 352, 24}, "分组框1", nullptr, ""},
    {"按钮1", "QPushButton", {417, 24, 27, 24}, "分组框1", "...", ""},
    {"标签4", "QLabel", {452, 24, 38, 24}, "分组框1", "文件名", ""},
    {"编辑框1", "QLineEdit", {489, 24, 157, 24}, "分组框1", "", "disabled"},
    {"透明标签3", "TransLabel", {489, 24, 157, 24}, "分组框1", "Velk学籍照相相片1.jpg", "hidden"},
    {"透明标签2", "TransLabel", {8, 62, 50, 16}, "分组框1", "视频输入", ""},
    {"组合框", "QComboBox", {60, 60, 402, 24}, "分组框1", nullptr, ""},
    {"按钮检测设备", "QPushButton", {462, 60, 56, 25}, "分组框1", "检测设备", ""},
    {"按钮2", "QPushButton", {526, 60, 56, 25}, "分组框1", "设置视频", ""},
    {"视频输出按钮", "QPushButton", {590, 60, 56, 25}, "分组框1", "图像参数", ""},
    {"分隔条1", "SplitterBar", {652, 7, 3, 88}, "分组框1", nullptr, ""},
    {"录制按钮", "QPushButton", {661, 10, 64, 25}, "分组框1", "录制视频", ""},
    {"结束录制按钮", "QPushButton", {661, 38, 64, 25}, "分组框1", "结束录制", "disabled"},
    {"压缩格式按钮", "QPushButton", {661, 67, 64, 25}, "分组框1", "视频压缩", ""},
    {"分组框2", "QGroupBox", {744, 16, 234, 96}, nullptr, "", ""},
    {"预览按钮", "QPushButton", {9, 13, 64, 25}, "分组框2", "开启预览", ""},
    {"标签3", "QLabel", {9, 44, 64, 14}, "分组框2", "关闭状态", ""},
    {"保存字幕", "QPushButton", {85, 13, 64, 25}, "分组框2", "关闭字幕", ""},
    {"标签1", "QLabel", {85, 44, 64, 14}, "分组框2", "开启状态", ""},
    {"颜色选择器1", "ColorPicker", {161, 13, 64, 25}, "分组框2", nullptr, ""},
    {"标签6", "QLabel", {161, 44, 64, 14}, "分组框2", "字幕颜色", ""},
    {"选择框3", "QCheckBox", {6, 69, 70, 20}, "分组框2", "手动命名", ""},
    {"选择框2", "QCheckBox", {82, 69, 70, 20}, "分组框2", "自由拍照", ""},
    {"选择框1", "QCheckBox", {158, 69, 70, 20}, "分组框2", "自动保存", ""},
    {"透明标签17", "TransLabel", {26, 123, 174, 16}, nullptr, "导入原表列（默认前三列）", ""},
    {"编辑框6", "QLineEdit", {203, 120, 26, 24}, nullptr, "A", ""},
    {"编辑框7", "QLineEdit", {229, 120, 26, 24}, nullptr, "B", ""},
    {"编辑框8", "QLineEdit", {255, 120, 26, 24}, nullptr, "C", ""},
    {"超级列表框1", "RosterListView", {10, 144, 286, 304}, nullptr, nullptr, ""},
    {"按钮检查照片", "QPushButton", {31, 139, 65, 25}, nullptr, "检查照片", "hidden"},
    {"超级按钮1", "SuperBtn", {13, 450, 96, 25}, nullptr, "照片名列→ 列1", ""},
    {"超级按钮2", "SuperBtn", {121, 450, 96, 25}, nullptr, "显示名列→ 列2", ""},
    {"超级按钮3", "SuperBtn", {229, 450, 64, 25}, nullptr, "查询数据", ""},
    // Under the video area, beside the reports and before the photo options.
    {"按钮导出上报", "QPushButton", {297, 476, 64, 18}, nullptr, "导出上报", "disabled"},
    {"照片规格标签", "QLabel", {365, 476, 49, 17}, nullptr, "照片规格", ""},
    {"照片规格选择框", "QComboBox", {415, 475, 82, 19}, nullptr, nullptr, "disabled"},
    {"按键按钮", "QPushButton", {501, 476, 42, 18}, nullptr, "按键…", ""},
    {"自动取景选择框", "QCheckBox", {547, 476, 72, 17}, nullptr, "自动取景", ""},
    {"照片检查选择框", "QCheckBox", {621, 476, 72, 17}, nullptr, "照片检查", ""},
    {"大小上限编辑框", "QLineEdit", {747, 475, 39, 19}, nullptr, "", ""},
    {"撤销按钮", "QPushButton", {901, 476, 77, 18}, nullptr, "撤销上一张", "disabled"},
    {"保留原图选择框", "QCheckBox", {244, 494, 84, 16}, nullptr, "保留原图", ""},
    {"更换背景选择框", "QCheckBox", {415, 494, 82, 15}, nullptr, "更换背景", "disabled"},
    // The progress under the current student.
    {"进度标签", "QLabel", {435, 509, 200, 14}, nullptr, "已照 0 / 0", ""},
    {"视频设备", "capControl", {306, 115, 480, 360}, nullptr, nullptr, ""},
    {"图片框2", "PicBox", {306, 115, 480, 360}, nullptr, nullptr, ""},
    {"透明标签16", "TransLabel", {318, 123, 456, 344}, nullptr, nullptr, ""},
    {"外形框1", "ShapeBox", {454, 172, 184, 245}, nullptr, nullptr, "hidden"},
    {"透明标签7", "TransLabel", {454, 172, 184, 245}, nullptr, "", ""},
    {"图片框111", "PicBox", {454, 172, 184, 245}, nullptr, nullptr, "hidden"},
    {"分组框3", "QGroupBox", {794, 104, 184, 64}, nullptr, "", ""},
    {"透明标签11", "TransLabel", {10, 14, 102, 16}, "分组框3", "取景框缩放调节：", ""},
    {"编辑框5", "ZoomSpinBox", {116, 12, 40, 21}, "分组框3", "0", "disabled"},
    {"透明标签10", "TransLabel", {10, 40, 68, 16}, "分组框3", "相片分辨率:", ""},
    {"编辑框3", "QLineEdit", {80, 37, 32, 20}, "分组框3", "151", "disabled"},
    {"透明标签8", "TransLabel", {123, 42, 10, 10}, "分组框3", "×", ""},
    {"编辑框4", "QLineEdit", {142, 37, 32, 20}, "分组框3", "201", "disabled"},
    {"透明标签12", "TransLabel", {915, 116, 32, 21}, nullptr, "0", ""},
    {"图片框1111", "PicBox", {794, 172, 184, 245}, nullptr, nullptr, ""},
    {"画板1", "DrawPanel", {794, 172, 184, 245}, nullptr, nullptr, ""},
    {"透明标签9", "TransLabel", {794, 424, 184, 16}, nullptr, "", ""},
    {"分组框4", "QGroupBox", {794, 425, 184, 48}, nullptr, "", ""},
    {"按钮照相", "QPushButton", {11, 13, 65, 27}, "分组框4", "照  相", "disabled"},
    {"保存按钮", "QPushButton", {107, 13, 65, 27}, "分组框4", "保存相片", "disabled"},
    {"图片框1", "PicBox", {6, 510, 13, 13}, nullptr, nullptr, ""},
    {"透明标签13", "TransLabel", {23, 494, 140, 16}, nullptr, "当前版本:2012.07.20", ""},
    {"透明标签14", "TransLabel", {178, 494, 56, 16}, nullptr, "查看更新", ""},
    {"透明标签6", "TransLabel", {342, 494, 63, 16}, nullptr, "", ""},
    {"透明标签5", "TransLabel", {435, 494, 232, 16}, nullptr, "", ""},
    {"透明标签1", "TransLabel", {704, 494, 262, 16}, nullptr, "当前状态: 还未进行任何操作", ""},
    {"透明标签15", "TransLabel", {971, 510, 13, 13}, nullptr, "▽", ""},
    {"画板后台", "DrawPanel", {96, 867, 184, 245}, nullptr, nullptr, ""},
    {"标签10", "QLabel", {77, 694, 48, 24}, nullptr, "压缩率:", "hidden"},
    {"组合框1", "QComboBox", {117, 680, 48, 20}, nullptr, nullptr, "hidden"},
    {"横向滚动条1", "QScrollBar", {54, 711, 32, 24}, nullptr, nullptr, "hidden"},
};

QString textOf(QWidget* w)
{
    if (auto* g = qobject_cast<QGroupBox*>(w))
        return g->title();
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text();
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text();
    if (auto* e = qobject_cast<QLineEdit*>(w))
        return e->text();
    if (auto* s = qobject_cast<QAbstractSpinBox*>(w))
        return s->text();
    return {};
}

// Kinds that are still plain widgets until their subsystem provides the class.
bool kindMatches(QWidget* w, const char* kind)
{
    static const QByteArrayList pending = {"capControl", "ShapeBox", "ZoomSpinBox", "DrawPanel"};
    if (pending.contains(kind))
        return true;
    return QByteArray(w->metaObject()->className()) == kind;
}

}  // namespace

class LayoutTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { window_ = new MainWindow; }
    void cleanupTestCase() { delete window_; }

    void units_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < int(std::size(kUnits)); ++i)
            QTest::newRow(kUnits[i].name) << i;
    }

    void units()
    {
        QFETCH(int, index);
        const Unit& u = kUnits[index];
        QWidget* w = window_->findChild<QWidget*>(QString::fromUtf8(u.name));
        QVERIFY2(w, u.name);
        QVERIFY2(kindMatches(w, u.kind), w->metaObject()->className());
        QCOMPARE(w->geometry(), u.place);
        QWidget* expectedParent = u.parent ? window_->findChild<QWidget*>(QString::fromUtf8(u.parent)) : window_;
        QCOMPARE(w->parentWidget(), expectedParent);
        if (u.text)
            QCOMPARE(textOf(w), QString::fromUtf8(u.text));
        const QByteArray state(u.state);
        QCOMPARE(w->isVisibleTo(window_), state != "hidden");
        QCOMPARE(w->isEnabledTo(window_), state != "disabled");
    }

    void windowAndUnitsWithoutFace()
    {
        QCOMPARE(window_->windowTitle(), QStringLiteral("Varnel-《Pellowin》-Halvard"));
        QCOMPARE(window_->size(), QSize(988, 524));
        QCOMPARE(window_->minimumSize(), window_->maximumSize());
        // The menu entry's icon, at its smallest and largest rendering.
        for (const int side : {16, 256}) {
            const QImage icon = window_->windowIcon().pixmap(QSize(side, side)).toImage();
            QCOMPARE(icon.size(), QSize(side, side));
            QVERIFY(icon.pixelColor(side / 2, side / 2).alpha() == 255);
        }
        auto* timer = window_->findChild<QTimer*>(QStringLiteral("时钟1"));
        QVERIFY(timer);
        QCOMPARE(timer->interval(), 1);
        auto* compression = window_->findChild<QComboBox*>(QStringLiteral("组合框1"));
        QCOMPARE(compression->count(), 4);
        QStringList items;
        for (int i = 0; i < compression->count(); ++i)
            items << compression->itemText(i);
        QCOMPARE(items, QStringList({"1", "2", "4", "8"}));
        for (const char* name : {"编辑框6", "编辑框7", "编辑框8"})
            QCOMPARE(window_->findChild<QLineEdit*>(QString::fromUtf8(name))->maxLength(), 2);
        // The spare canvas lies below the client area and is never seen.
        QVERIFY(window_->findChild<QWidget*>(QStringLiteral("画板后台"))->y() > window_->height());
    }

    void helpTextLineByLine()
    {
        const QStringList lines = findUnit<TransLabel>(window_, "透明标签16")->text().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 21);
        QCOMPARE(lines[0], QString(23, ' ') + QStringLiteral("软件功能特点简述："));
        QCOMPARE(lines[1], QString());
        QCOMPARE(lines[2], QStringLiteral("◇.导入Excel文件(需系统Excel组件支持，拖动到表格区域)"));
        QCOMPARE(lines[8], QStringLiteral("              ☆.导入Excel成功，自动以第一列表格文本给照片命名"));
        QCOMPARE(lines[14], QStringLiteral("◇.自由缩放取景框(取景框单击鼠右键后,支持鼠标滚动)"));
        QCOMPARE(lines[18], QStringLiteral("◇.添加数据查询功能，语音提示（小喇叭:右击设置，双击开启）"));
        QCOMPARE(lines[19], QString(6, ' '));
        QVERIFY(!lines[20].trimmed().isEmpty());
        // Every line, the closing one too, lies inside the label.
        QLabel* help = findUnit<TransLabel>(window_, "透明标签16");
        const QRect needed =
            QFontMetrics(help->font()).boundingRect(help->contentsRect(), int(help->alignment()), help->text());
        QVERIFY2(needed.height() <= help->contentsRect().height(), qPrintable(QString::number(needed.height())));
        QVERIFY2(needed.width() <= help->contentsRect().width(), qPrintable(QString::number(needed.width())));
    }

    void groupBoxFrameLinesMeet()
    {
        // The frame line of the titled box runs at the height of the untitled
        // one's, and the units inside start below it.
        auto frameTop = [&](const char* name) {
            auto* box = findUnit<QGroupBox>(window_, name);
            QStyleOptionGroupBox option;
            option.initFrom(box);
            option.text = box->title();
            option.lineWidth = 1;
            option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
            const QRect frame =
                box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxFrame, box);
            return box->mapTo(window_, frame.topLeft()).y();
        };
        const int line = frameTop("分组框2");
        QCOMPARE(frameTop("分组框1"), line);
        for (const char* inside : {"分隔条1", "录制按钮"})
            QVERIFY2(findUnit<QWidget>(window_, inside)->mapTo(window_, QPoint(0, 0)).y() > line, inside);
    }

    void videoAreaStacking()
    {
        // The help text lies over the video area while the preview is off;
        // the sample photograph lies over the result canvas.
        QList<QObject*> kids = window_->children();
        auto z = [&](const char* name) { return kids.indexOf(window_->findChild<QWidget*>(QString::fromUtf8(name))); };
        QVERIFY(z("透明标签16") > z("图片框2"));
        QVERIFY(z("图片框2") > z("视频设备"));
        QVERIFY(z("图片框1111") > z("画板1"));
    }

private:
    MainWindow* window_ = nullptr;
    TestDialogs dialogs_;
};

QTEST_MAIN(LayoutTest)
#include "tst_layout.moc"
