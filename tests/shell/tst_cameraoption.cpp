// `photostation --camera ADDRESS`: the window module started with the option,
// as the program starts it, connects the address once the window is up.
#include "windowmodule.h"

#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

// Set in the child: the status text that ends it.
const char* awaitedStatus = nullptr;

// Any widget's text, read through the meta-object: the window's classes live
// in the module, not here.
QString textShown()
{
    QStringList texts;
    for (QWidget* w : QApplication::allWidgets()) {
        const QVariant text = w->property("text");
        if (text.isValid() && !text.toString().isEmpty())
            texts << text.toString();
    }
    return texts.join(u'\n');
}

void watchTheStatus()
{
    if (!awaitedStatus)
        return;
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, [] {
        static int ticks = 0;
        const QString shown = textShown();
        if (shown.contains(QString::fromUtf8(awaitedStatus)) || ++ticks > 400) {
            std::printf("%s\n", shown.toUtf8().constData());
            std::fflush(stdout);
            _exit(0);
        }
    });
    poll->start(50);
}
Q_COREAPP_STARTUP_FUNCTION(watchTheStatus)

int runWindow(int argc, char** argv)
{
    awaitedStatus = "已连接";
    // The program's own name and the options after "--window".
    argv[1] = argv[0];
    int n = argc - 1;
    return runWindowModule(QStringLiteral(WINDOW_MODULE), &n, argv + 1);
}

}  // namespace

class CameraOptionTest : public QObject {
    Q_OBJECT
private slots:
    void theAddressIsConnectedAtStart()
    {
        const QString portrait = QStringLiteral(STATION_TEST_DATA "/pictures/portrait.png");
        QVERIFY2(QFile::exists(portrait), "tests/data/pictures/portrait.png is missing");
        QTemporaryDir home;
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("HOME", home.path());
        env.insert("XDG_CONFIG_HOME", home.path() + "/config");
        p.setProcessEnvironment(env);
        p.start(QCoreApplication::applicationFilePath(), {"--window", "--camera", portrait});
        QVERIFY(p.waitForFinished(60000));
        const QString shown = QString::fromUtf8(p.readAllStandardOutput());
        QVERIFY2(shown.contains(QStringLiteral("已连接 portrait.png")), qPrintable(shown));
    }
};

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--window") == 0)
        return runWindow(argc, argv);
    QCoreApplication app(argc, argv);
    CameraOptionTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_cameraoption.moc"
