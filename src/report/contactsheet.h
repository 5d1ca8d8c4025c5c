#pragma once
#include "census.h"
#include "result.h"
#include "stagedreport.h"

#include <functional>

struct ContactSheetJob {
    PhotoCensus census;
    QString folder;  // where the photos are
    int photoNameColumn = 0;  // 0..2
    int displayNameColumn = 1;  // outside 0..2: no display name
    int groupColumn = 2;  // one section per value of this column
    QString path;  // the PDF
};

// Called after each photo with the count done so far; false cancels.
using SheetProgress = std::function<bool(int done, int total)>;

// Writes A4 pages: one section per group value (in roster order), a grid of
// 5 x 6 photos with the photo name and the display name under each, a grey
// "未照" box where the photo is missing, the section name and the page number
// in each page's header. The file appears complete or not at all (an older
// one kept in "已替换" first); a cancel leaves nothing behind.
Result<int> writeContactSheet(const ContactSheetJob& job, const SheetProgress& progress = {});

// The same, written under a temporary name for the caller to publish (or to
// drop, leaving no file).
struct StagedSheet {
    StagedReport report;
    int pages = 0;
};
Result<StagedSheet> stageContactSheet(const ContactSheetJob& job, const SheetProgress& progress = {});

// Whether a contact sheet can be written under that name (.pdf only: under
// another, a photo's, it would take a photo's place); the reason when not.
Status contactSheetNameAccepted(const QString& path);
