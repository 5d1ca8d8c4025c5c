#pragma once
#include "census.h"
#include "result.h"
#include "stagedreport.h"

// Writes the rows without a photo (their three imported columns) and a last
// line with the census summary, as .xlsx or as UTF-8 CSV with a byte-order
// mark (so spreadsheets open the Chinese intact), chosen by the file's
// extension. The file appears complete or not at all; an older one is kept in
// "已替换" first.
Status writeMissingList(const PhotoCensus& census, const QString& path);
// The same, written under a temporary name for the caller to publish (or to
// drop, leaving no file).
Result<StagedReport> stageMissingList(const PhotoCensus& census, const QString& path);

// The CSV text of the list: fields quoted where they hold a comma, quote or
// line break, lines ending in CRLF.
QByteArray missingListCsv(const PhotoCensus& census);

// Whether the list can be written under that name (.xlsx or .csv); the
// reason when not.
Status missingListNameAccepted(const QString& path);
