#include "commandline.h"

namespace commandline {

ToolStreams::ToolStreams()
    : out(stdout)
    , err(stderr)
{
    out.setEncoding(QStringConverter::Utf8);
    err.setEncoding(QStringConverter::Utf8);
}

Parser::Parser()
{
    parser.setApplicationDescription(
        QStringLiteral("Photo station: student identity photos from a roster workbook and a camera."));
    parser.addPositionalArgument(QStringLiteral("WORKBOOK"),
                                 QStringLiteral("A roster workbook (.xls or .xlsx) to import at start."),
                                 QStringLiteral("[WORKBOOK]"));
    parser.addOption(listDevices);
    parser.addOption(camera);
    parser.addOption(dumpRoster);
    parser.addOption(columns);
    parser.addOption(checkIds);
    parser.addOption(reframe);
    parser.addOption(force);
    parser.addOption(background);
    parser.addOption(size);
    parser.addOption(maxKb);
    parser.addOption(output);
    parser.addOption(missing);
    parser.addOption(contactSheet);
    parser.addOption(folder);
    parser.addOption(groupBy);
    parser.addOption(listPresets);
    parser.addOption(exportUpload);
    parser.addOption(preset);
    parser.addOption(nameBy);
    parser.addOption(headerRow);
    parser.addOption(fallback);
}

Tool toolOf(const Parser& p)
{
    // The order decides when several are given.
    if (p.parser.isSet(p.listDevices))
        return Tool::ListDevices;
    if (p.parser.isSet(p.dumpRoster))
        return Tool::DumpRoster;
    if (p.parser.isSet(p.reframe))
        return Tool::Reframe;
    if (p.parser.isSet(p.contactSheet))
        return Tool::ContactSheet;
    if (p.parser.isSet(p.missing))
        return Tool::MissingList;
    if (p.parser.isSet(p.listPresets))
        return Tool::ListPresets;
    if (p.parser.isSet(p.exportUpload))
        return Tool::Export;
    return Tool::Window;
}

Options parse(const QStringList& arguments)
{
    Parser p;
    Options options;
    if (!p.parser.parse(arguments)) {
        options.exitCode = 2;
        return options;
    }
    const QStringList positional = p.parser.positionalArguments();
    if (!positional.isEmpty())
        options.workbook = positional.constFirst();
    options.camera = p.parser.value(p.camera);
    return options;
}

}  // namespace commandline
