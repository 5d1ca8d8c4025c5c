#pragma once
#include "framingnorm.h"
#include "kbrange.h"
#include "result.h"

#include <QColor>
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// A kind of photo someone asks a school for (照片规格): the pixel size, the
// density written into the JPEG, the file size range, the background and
// where the head belongs. The shipped list is a text file built into the
// program; a copy in the user's config folder replaces it, so a school can
// follow what its province or registry asks without a new program.
struct PhotoPreset {
    QString name;
    QSize size;  // pixels; empty for 自定义 before a size is typed
    int dpi = 0;  // 0: none stated
    KbRange kb;
    std::optional<QColor> background;
    FramingNorm framing;

    // 自定义: the size the operator typed, nothing else stated.
    static PhotoPreset custom(QSize size = {});
    static QString customName();  // "自定义"
    bool isCustom() const { return name == customName(); }

    // "358×441 像素，350 dpi，不超过 60 KB，背景 #A0C8F0"
    QString summary() const;
};

// The presets of the station, in the order the chooser shows them.
struct PresetCatalogue {
    std::vector<PhotoPreset> presets;  // never empty
    QString source;  // the file read, shown natively; "内置规格" for the shipped one
    // Why the user's file was not used (the line named); empty when it was
    // or when there is none.
    QString warning;

    // The preset of that name; nullptr when none.
    const PhotoPreset* find(const QString& name) const;
    QStringList names() const;
};

// A backdrop colour as typed: blue, lightblue, white, red or #RRGGBB.
std::optional<QColor> backdropColourNamed(const QString& text);

namespace photopresets {

// Reads presets from the text of a presets file; the failure names the line
// ("照片规格文件 NAME 第 N 行：…").
Result<std::vector<PhotoPreset>> parse(const QString& text, const QString& fileName);

// The text of the shipped file.
QString shippedText();

// Where a user's own copy is looked for (it need not exist).
QString userFile();

// The user's copy when there is one and it reads, else the shipped presets
// (with the reason in warning when the copy was refused).
PresetCatalogue load(const QString& userFilePath = userFile());

}  // namespace photopresets
