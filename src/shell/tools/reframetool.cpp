// --reframe: face detection over OpenCV and the JPEG codec.
#include "backdrop.h"
#include "commandline.h"
#include "moduleentry.h"
#include "reframe.h"

#include <QTextStream>

STATION_MODULE_ENTRY int photostation_tool(const QStringList* arguments)
{
    commandline::Parser p;
    p.parser.parse(*arguments);
    commandline::ToolStreams streams;
    QTextStream& out = streams.out;
    QTextStream& err = streams.err;
    ReframeJob job;
    job.source = p.parser.value(p.reframe);
    job.outFolder = p.parser.value(p.output);
    const QStringList sides = p.parser.value(p.size).split(QLatin1Char('x'));
    bool wideOk = false;
    bool highOk = false;
    if (sides.size() == 2)
        job.size = QSize(sides[0].toInt(&wideOk), sides[1].toInt(&highOk));
    if (!wideOk || !highOk) {
        err << QStringLiteral("--reframe 需要 --size 宽x高，例如 151x201") << "\n";
        return 2;
    }
    if (job.outFolder.isEmpty()) {
        err << QStringLiteral("--reframe 需要 -o 输出文件夹") << "\n";
        return 2;
    }
    if (p.parser.isSet(p.maxKb)) {
        bool ok = false;
        const int kb = p.parser.value(p.maxKb).toInt(&ok);
        if (!ok || kb < 1) {
            err << QStringLiteral("--max-kb 应为正整数") << "\n";
            return 2;
        }
        job.maxBytes = qint64(kb) * 1000;  // met in both readings of a KB, as the presets' limits are
    }
    // --force writes photos that fail their checks too (the reasons are
    // still printed); by name, so it works wherever the parser knows it.
    job.force = p.parser.isSet(p.force);
    if (p.parser.isSet(p.background)) {
        job.backdrop = backdropColourNamed(p.parser.value(p.background));
        if (!job.backdrop) {
            err << QStringLiteral("--background 应为 blue、lightblue、white、red 或 #RRGGBB") << "\n";
            return 2;
        }
    }
    return runReframe(job, out, err);
}
