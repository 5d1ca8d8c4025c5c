#pragma once
#include "photopreset.h"
#include "result.h"
#include "rostermodel.h"
#include "stagedreport.h"

#include <QImage>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>
#include <vector>

// 导出上报: the photos of a roster packed as a registry takes them, one zip
// per group (a class) holding nothing but NAME.jpg files made to a photo
// preset, and a problem list of the rows that could not go in, and why.

// The name of a row without an identity number, from a template such as
// "3301010001_{C}_{B}" (学校标识码_班号_姓名): {X} is the row's cell in the
// imported column X, everything else is kept as written.
class NameTemplate {
public:
    // letters[k] is the sheet column imported as roster column k (empty when
    // unknown); {列1}, {列2} and {列3} always name the three.
    static Result<NameTemplate> parse(const QString& text, const std::array<QString, 3>& letters = {});
    // The row's name; fails naming the column whose cell is empty.
    Result<QString> nameFor(const RosterEntry& row) const;
    QString text() const { return text_; }

private:
    struct Part {
        QString literal;
        int column = -1;  // >= 0: the cell of that roster column
        QString written;  // the column as the template wrote it
    };
    std::vector<Part> parts_;
    QString text_;
};

// A picture an upload photo is made from.
struct ExportSource {
    QImage picture;
    bool original = false;  // the camera region kept in 原图/, not the saved photo
};

// An upload photo of exactly the preset's size, and what the problem list
// must say of it (an enlargement); empty when nothing.
struct FramedPhoto {
    QImage photo;
    QString note;
};

// Makes a preset's photo from its source. The re-framing of a kept camera
// original by the face's landmarks plugs in here (ExportJob::framer); until
// then every source is cut in its middle to the preset's aspect and scaled,
// never stretched.
using PhotoFramer = std::function<Result<FramedPhoto>(const ExportSource& source, const PhotoPreset& preset)>;
Result<FramedPhoto> centreCutForPreset(const ExportSource& source, const PhotoPreset& preset);

// What a row's upload photo is made from: the camera region kept as
// 原图/NAME.jpg in the photo folder when there is one, else the saved photo.
Result<ExportSource> exportSourceFor(const QString& photoFolder, const QString& photoName);
QString originalsFolderName();  // "原图"

// Puts a photo's sitter on a backdrop of the colour, or says why it cannot.
using BackdropReplacer = std::function<Result<QImage>(const QImage& photo, const QColor& colour)>;

struct ExportJob {
    Roster rows;
    int photoColumn = 0;  // the photo-name column: finds the saved photo
    int nameColumn = 0;  // names the file in the zip
    int groupColumn = 2;  // one zip per value
    std::optional<NameTemplate> fallback;  // names rows without an identity number
    PhotoPreset preset;
    QString photoFolder;
    QString outFolder;
    int quality = 90;  // where the KB range search starts
    PhotoFramer framer = centreCutForPreset;
    // Each photo's backdrop replaced by this colour; a photo whose backdrop
    // cannot be replaced goes in as it is, with the reason in the list.
    std::optional<QColor> backdrop;
    BackdropReplacer replaceBackdrop;
};

struct ExportProblem {
    int row = 0;  // 0-based roster row
    QString group;
    QString photoName;
    QString fileName;  // the name it has, or would have had, in its zip
    QString reason;
    bool packed = false;  // it went in all the same (an enlarged photo)
};

struct StagedExport {
    std::vector<StagedReport> files;  // the zips, then the problem list
    int groups = 0;  // zips made
    int photos = 0;  // photos packed
    std::vector<ExportProblem> problems;

    // "2 个分组，37 张照片，3 个问题"
    QString summary() const;
    // Puts every file in place through the safe write (older ones kept in
    // 已替换); gives where older files went.
    Result<QStringList> publish();
};

QString problemListName();  // "问题记录.csv"

// The problem list: UTF-8 with a byte-order mark, a heading, one line per
// problem, the summary last; fields quoted where needed, lines ending CRLF.
QByteArray problemListCsv(const std::vector<ExportProblem>& problems, const QString& summary);

// Makes every zip and the problem list under temporary names in the output
// folder (made when missing), a group at a time, its photos on all cores.
// progress(done, total), called from any thread, returning false cancels:
// then nothing is left behind. A group whose every row is a problem gets no zip.
Result<StagedExport> stageExport(const ExportJob& job, const std::function<bool(int done, int total)>& progress = {});

class QTextStream;
struct PresetCatalogue;

// --export: reads the roster and writes as stageExport, then prints the
// summary. Exit status 0 every row went in, 1 some are in the problem list
// (or a file could not be written), 2 bad arguments.
struct ExportCommand {
    QString workbook;
    QString columns;  // "A,B,C" (empty: A,B,C)
    QString folder;
    QString output;
    QString preset;
    QString nameBy;  // an imported column's letter (empty: the first)
    QString groupBy;  // an imported column's letter (empty: the third)
    QString fallback;  // a NameTemplate; empty: none
    bool headerRow = false;  // the first row holds headings, not a student
    QString background;  // a colour (see backdropColourNamed) or "preset"; empty: as shot
    BackdropReplacer replaceBackdrop;
};
int runExportCommand(const ExportCommand& command, const PresetCatalogue& presets, QTextStream& out, QTextStream& err);
