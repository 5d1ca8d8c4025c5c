// --list-presets and --export: the photo presets, the roster readers, the
// JPEG codec and libzip, and the backdrop replaced by the face unit.
#include "backdrop.h"
#include "commandline.h"
#include "moduleentry.h"
#include "photopreset.h"
#include "uploadexport.h"

#include <QDir>
#include <QTextStream>

STATION_MODULE_ENTRY int photostation_tool(const QStringList* arguments)
{
    commandline::Parser p;
    p.parser.parse(*arguments);
    commandline::ToolStreams streams;
    QTextStream& out = streams.out;
    QTextStream& err = streams.err;
    const PresetCatalogue presets = photopresets::load();
    if (!presets.warning.isEmpty())
        err << presets.warning << "\n";
    if (p.parser.isSet(p.listPresets)) {
        err << QStringLiteral("照片规格来自：%1（自己的副本放在 %2）")
                   .arg(presets.source, QDir::toNativeSeparators(photopresets::userFile()))
            << "\n";
        for (const PhotoPreset& preset : presets.presets)
            out << preset.name << '\t' << preset.summary() << "\n";
        return 0;
    }
    const ExportCommand command{p.parser.value(p.exportUpload), p.parser.value(p.columns),  p.parser.value(p.folder),
                                p.parser.value(p.output),       p.parser.value(p.preset),   p.parser.value(p.nameBy),
                                p.parser.value(p.groupBy),      p.parser.value(p.fallback), p.parser.isSet(p.headerRow),
                                p.parser.value(p.background),   replaceSitterBackdrop};
    if (command.preset.isEmpty()) {
        err << QStringLiteral("--export 需要 --preset 照片规格（见 --list-presets）") << "\n";
        return 2;
    }
    return runExportCommand(command, presets, out, err);
}
