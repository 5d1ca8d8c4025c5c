#pragma once
// A package built from a fuzz input that is not itself a zip file: the input
// is cut at "\n====\n" into the sheet, shared strings, styles and workbook
// parts, so that mutations reach the XML instead of dying at zip checksums.
#include <QByteArray>
#include <QList>

#include <zip.h>

inline const QByteArray& partSeparator()
{
    static const QByteArray s("\n====\n");
    return s;
}

inline QList<QByteArray> splitParts(const QByteArray& input)
{
    QList<QByteArray> parts;
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = input.indexOf(partSeparator(), from);
        if (at < 0) {
            parts.append(input.mid(from));
            return parts;
        }
        parts.append(input.mid(from, at - from));
        from = at + partSeparator().size();
    }
}

inline QByteArray zipParts(const QList<QByteArray>& parts)
{
    static const char* names[] = {"xl/worksheets/sheet1.xml", "xl/sharedStrings.xml", "xl/styles.xml",
                                  "xl/workbook.xml", "xl/_rels/workbook.xml.rels"};
    static const QByteArray defaults[] = {
        "<worksheet><sheetData/></worksheet>",
        "<sst/>",
        "<styleSheet/>",
        "<workbook xmlns:r=\"r\"><sheets><sheet name=\"s\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>",
        "<Relationships><Relationship Id=\"rId1\" Type=\"x/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
        "<Relationship Id=\"rId2\" Type=\"x/sharedStrings\" Target=\"sharedStrings.xml\"/>"
        "<Relationship Id=\"rId3\" Type=\"x/styles\" Target=\"/xl/styles.xml\"/></Relationships>",
    };
    QList<QByteArray> contents;
    for (int i = 0; i < 5; ++i)
        contents.append(i < parts.size() ? parts[i] : defaults[i]);

    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* out = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_source_keep(out);
    zip_t* z = zip_open_from_source(out, ZIP_TRUNCATE, &error);
    for (int i = 0; i < 5; ++i) {
        zip_source_t* s = zip_source_buffer(z, contents[i].constData(), zip_uint64_t(contents[i].size()), 0);
        const zip_int64_t index = zip_file_add(z, names[i], s, ZIP_FL_OVERWRITE);
        zip_set_file_compression(z, zip_uint64_t(index), ZIP_CM_STORE, 0);
    }
    zip_close(z);  // writes the archive; the contents must live until here
    QByteArray result;
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_source_stat(out, &st) == 0 && zip_source_open(out) == 0) {
        result.resize(qsizetype(st.size));
        zip_source_read(out, result.data(), st.size);
        zip_source_close(out);
    }
    zip_source_free(out);
    zip_error_fini(&error);
    return result;
}
