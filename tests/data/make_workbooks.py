#!/usr/bin/python3
"""Writes the workbook fixtures of the roster reader tests.

Run with Debian's /usr/bin/python3 (openpyxl, xlsxwriter, xlwt); the
LibreOffice copies need soffice (libreoffice-calc-nogui) and are skipped
without it. The files are committed; run this again only to change them.

Most fixtures hold a table of cases: column A names the case, column B holds
the value under test and column C the text the reader must give for it.
"""
import datetime as dt
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile

import openpyxl
import xlsxwriter
import xlwt
from xlwt import CompoundDoc

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "workbooks")

# (case, value, number format or None, expected text)
NUMBER_CASES = [
    ("integer", 2012, None, "2012"),
    ("student number", 20120001, None, "20120001"),
    ("negative", -42, None, "-42"),
    ("zero", 0, None, "0"),
    ("half", 3.5, None, "3.5"),
    ("negative fraction", -0.5, None, "-0.5"),
    ("sum with binary error", 0.1 + 0.2, None, "0.3"),
    ("third", 1 / 3, None, "0.333333333333333"),
    ("large", 1e20, None, "1E+20"),
    ("small", 1.5e-7, None, "1.5E-07"),
    ("past plain digits", 1234567890123456, None, "1.23456789012346E+15"),
    ("below 1e15", 123456789012345, None, "123456789012345"),
    ("date", dt.datetime(2012, 3, 4), "yyyy-mm-dd", "2012-03-04"),
    ("date and time", dt.datetime(2012, 3, 4, 5, 6, 7), "yyyy-mm-dd hh:mm:ss", "2012-03-04 05:06:07"),
    ("time", 0.5 + 14 / 1440 + 15 / 86400, "hh:mm:ss", "12:14:15"),
    ("chinese date", dt.datetime(2012, 3, 4), 'yyyy"年"m"月"d"日"', "2012-03-04"),
    ("month name alone", 40000, "mmm", "2009-07-06"),
    ("minutes after hours", 0.75, "h:mm", "18:00:00"),
    ("time rounds down", 0.5 + 0.4 / 86400, "h:mm:ss", "12:00:00"),
    ("time rounds up", 0.5 + 0.6 / 86400, "h:mm:ss", "12:00:01"),
    ("rounding carries the day", 40000 + 86399.6 / 86400, "yyyy-mm-dd hh:mm:ss", "2009-07-07 00:00:00"),
    ("percent is a number", 0.25, "0.00%", "0.25"),
    ("scientific is a number", 1234.5, "0.00E+00", "1234.5"),
    ("quoted m is a number", 5, '"m"0', "5"),
    ("colour in brackets is a number", 40000, "[Red]0", "40000"),
    ("escaped d is a number", 7, "0\\d", "7"),
    ("first of 1900", 1, "yyyy-mm-dd", "1900-01-01"),
    ("leap day that never was", 60, "yyyy-mm-dd", "1900-02-29"),
    ("after it", 61, "yyyy-mm-dd", "1900-03-01"),
]
STRING_CASES = [
    ("chinese name", "张三", "张三"),
    ("spaces kept", " 李四 ", " 李四 "),
    ("digits as text", "2012", "2012"),
    ("backslash and tab", "a\\b\tc", "a\\b\tc"),
]


def excel_serial(value, date1904=False):
    if isinstance(value, dt.datetime):
        base = dt.datetime(1904, 1, 1) if date1904 else dt.datetime(1899, 12, 30)
        delta = value - base
        return delta.days + delta.seconds / 86400
    return value


def header(ws_write):
    ws_write(0, 0, "case")
    ws_write(0, 1, "value")
    ws_write(0, 2, "expected")


# ---------------------------------------------------------------- openpyxl
def openpyxl_cells(path):
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "名单"
    ws.append(["case", "value", "expected"])
    for name, value, fmt, expected in NUMBER_CASES:
        ws.append([name, excel_serial(value), expected])
        if fmt:
            ws.cell(ws.max_row, 2).number_format = fmt
    for name, value, expected in STRING_CASES:
        ws.append([name, value, expected])
    ws.append(["true", True, "TRUE"])
    ws.append(["false", False, "FALSE"])
    # openpyxl stores formulas without a cached value: they read as empty.
    ws.append(["formula without value", "=1+1", ""])
    other = wb.create_sheet("其他")
    other["A1"] = "second sheet"
    wb.save(path)


def openpyxl_1904(path):
    wb = openpyxl.Workbook()
    wb.epoch = openpyxl.utils.datetime.CALENDAR_MAC_1904
    ws = wb.active
    ws.append(["case", "value", "expected"])
    ws.append(["date", excel_serial(dt.datetime(2012, 3, 4), True), "2012-03-04"])
    ws.cell(2, 2).number_format = "yyyy-mm-dd"
    ws.append(["day zero", 0, "1904-01-01"])
    ws.cell(3, 2).number_format = "yyyy-mm-dd"
    ws.append(["plain number", 60, "60"])
    wb.save(path)


# ---------------------------------------------------------------- xlsxwriter
def xlsxwriter_cells(path):
    wb = xlsxwriter.Workbook(path)
    ws = wb.add_worksheet("名单")
    header(ws.write)
    row = 1
    for name, value, fmt, expected in NUMBER_CASES:
        ws.write(row, 0, name)
        ws.write_number(row, 1, excel_serial(value), wb.add_format({"num_format": fmt}) if fmt else None)
        ws.write(row, 2, expected)
        row += 1
    for name, value, expected in STRING_CASES:
        ws.write(row, 0, name)
        ws.write_string(row, 1, value)
        ws.write(row, 2, expected)
        row += 1
    cases = [
        ("true", lambda r: ws.write_boolean(r, 1, True), "TRUE"),
        ("false", lambda r: ws.write_boolean(r, 1, False), "FALSE"),
        ("formula with number", lambda r: ws.write_formula(r, 1, "=1+1", None, 2), "2"),
        ("formula with text", lambda r: ws.write_formula(r, 1, '="a"&"b"', None, "ab"), "ab"),
        ("formula with boolean", lambda r: ws.write_formula(r, 1, "=1=1", None, True), "TRUE"),
        ("formula with error", lambda r: ws.write_formula(r, 1, "=1/0", None, "#DIV/0!"), ""),
        ("rich text", lambda r: ws.write_rich_string(r, 1, "张", wb.add_format({"bold": True}), "三丰"), "张三丰"),
        # Chinese-locale Excel writes dates with the East-Asian built-in ids and
        # leaves them undefined in the file.
        ("east asian built-in date", lambda r: ws.write_number(r, 1, 40000, wb.add_format({"num_format": 31})), "2009-07-06"),
        ("east asian built-in time", lambda r: ws.write_number(r, 1, 0.75, wb.add_format({"num_format": 32})), "18:00:00"),
        ("built-in date-time", lambda r: ws.write_number(r, 1, 40000.5, wb.add_format({"num_format": 22})), "2009-07-06 12:00:00"),
        ("built-in elapsed time", lambda r: ws.write_number(r, 1, 0.25, wb.add_format({"num_format": 46})), "06:00:00"),
    ]
    for name, write, expected in cases:
        ws.write(row, 0, name)
        write(row)
        ws.write(row, 2, expected)
        row += 1
    other = wb.add_worksheet("其他")
    other.write(0, 0, "second sheet")
    wb.close()


# ---------------------------------------------------------------- xlwt (BIFF8)
def xlwt_cells(path):
    wb = xlwt.Workbook(encoding="utf-8")
    ws = wb.add_sheet("名单")
    header(ws.write)
    row = 1
    for name, value, fmt, expected in NUMBER_CASES:
        ws.write(row, 0, name)
        style = xlwt.easyxf(num_format_str=fmt) if fmt else xlwt.Style.default_style
        ws.write(row, 1, excel_serial(value), style)
        ws.write(row, 2, expected)
        row += 1
    for name, value, expected in STRING_CASES:
        ws.write(row, 0, name)
        ws.write(row, 1, value)
        ws.write(row, 2, expected)
        row += 1
    ws.write(row, 0, "true"); ws.write(row, 1, True); ws.write(row, 2, "TRUE"); row += 1
    ws.write(row, 0, "false"); ws.write(row, 1, False); ws.write(row, 2, "FALSE"); row += 1
    # xlwt caches an empty text as every formula's result.
    ws.write(row, 0, "formula cached by the writer"); ws.write(row, 1, xlwt.Formula("1+1")); ws.write(row, 2, ""); row += 1
    other = wb.add_sheet("其他")
    other.write(0, 0, "second sheet")
    wb.save(path)


def xlwt_1904(path):
    wb = xlwt.Workbook(encoding="utf-8")
    wb.dates_1904 = True
    ws = wb.add_sheet("s")
    header(ws.write)
    date = xlwt.easyxf(num_format_str="yyyy-mm-dd")
    ws.write(1, 0, "date"); ws.write(1, 1, excel_serial(dt.datetime(2012, 3, 4), True), date); ws.write(1, 2, "2012-03-04")
    ws.write(2, 0, "day zero"); ws.write(2, 1, 0, date); ws.write(2, 2, "1904-01-01")
    ws.write(3, 0, "plain number"); ws.write(3, 1, 60); ws.write(3, 2, "60")
    wb.save(path)


# ---------------------------------------------------------------- blank rows
# Rows of (A, B, C, D); None is an empty cell. Read with columns A, B, C the
# roster is every row up to the fifth blank one: rows 1, 2, 4, 7, 8, 10.
BLANK_ROWS = [
    ("姓名", "学号", "班级", None),      # 1 header, imported like any other row
    ("张三", 20120001, "一班", None),    # 2
    (None, None, None, None),            # 3 blank 1
    ("李四", 20120002, "一班", None),    # 4
    (None, None, None, None),            # 5 blank 2
    (None, None, None, "only in D"),     # 6 blank 3: column D is not read
    ("王五", None, None, None),          # 7
    (None, None, "二班", None),          # 8 one cell is enough
    (None, None, None, None),            # 9 blank 4
    ("赵六", 20120004, "二班", None),    # 10
    (None, None, None, None),            # 11 blank 5: the read ends here
    ("孙七", 20120005, "三班", None),    # 12 never read
]


def blank_rows(write):
    for r, cells in enumerate(BLANK_ROWS):
        for c, v in enumerate(cells):
            if v is not None:
                write(r, c, v)
    write(0, 27, "AB1")   # column AB
    write(3, 27, "AB4")


def openpyxl_blanks(path):
    wb = openpyxl.Workbook()
    ws = wb.active
    blank_rows(lambda r, c, v: ws.cell(r + 1, c + 1, v))
    wb.create_sheet("第二").append(["不该读到", 1, 2])
    wb.save(path)


def xlsxwriter_blanks(path):
    wb = xlsxwriter.Workbook(path)
    ws = wb.add_worksheet()
    blank_rows(ws.write)
    wb.add_worksheet("第二").write(0, 0, "不该读到")
    wb.close()


def xlwt_blanks(path):
    wb = xlwt.Workbook(encoding="utf-8")
    ws = wb.add_sheet("第一")
    blank_rows(ws.write)
    wb.add_sheet("第二").write(0, 0, "不该读到")
    wb.save(path)


# ---------------------------------------------------------------- other workbook kinds
MAIN_TYPES = {
    "xlsm": "application/vnd.ms-excel.sheet.macroEnabled.main+xml",
    "xltx": "application/vnd.openxmlformats-officedocument.spreadsheetml.template.main+xml",
    "xltm": "application/vnd.ms-excel.template.macroEnabled.main+xml",
}


def openpyxl_kind(path, kind):
    """The blank-row roster as a macro workbook or a template: openpyxl writes
    the package, then the workbook part gets the content type Excel gives it."""
    wb = openpyxl.Workbook()
    ws = wb.active
    blank_rows(lambda r, c, v: ws.cell(r + 1, c + 1, v))
    wb.create_sheet("第二").append(["不该读到", 1, 2])
    wb.template = kind.startswith("xlt")
    tmp = path + ".tmp"
    wb.save(tmp)
    with zipfile.ZipFile(tmp) as src, zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as dst:
        for item in src.infolist():
            data = src.read(item.filename)
            if item.filename == "[Content_Types].xml":
                text = data.decode("utf-8")
                start = text.index('PartName="/xl/workbook.xml"')
                tag_end = text.index("/>", start)
                tag_start = text.rindex("<", 0, start)
                data = (text[:tag_start] + '<Override PartName="/xl/workbook.xml" ContentType="%s"' % MAIN_TYPES[kind]
                        + text[tag_end:]).encode("utf-8")
            dst.writestr(item, data)
    os.remove(tmp)


def csv_blanks(path, encoding, bom, line_end, quote_all):
    """The blank-row roster written as a spreadsheet saves CSV: numbers as
    their digits, blank rows as commas or nothing, AB reached by empty fields."""
    def field(v):
        text = "" if v is None else str(v)
        return '"%s"' % text.replace('"', '""') if quote_all and text else text
    lines = []
    for r, cells in enumerate(BLANK_ROWS):
        row = [field(v) for v in cells]
        if r in (0, 3):
            row += [""] * (27 - len(row)) + [field("AB%d" % (r + 1))]
        lines.append(",".join(row) if r != 4 else "")  # blank 2 as an empty line
    data = line_end.join(lines) + line_end
    with open(path, "wb") as f:
        f.write((b"\xef\xbb\xbf" if bom else b"") + data.encode(encoding))


# ---------------------------------------------------------------- a big roster
def big_roster(path):
    """3000 rows of mixed Latin and Chinese names: the shared string table runs
    over many CONTINUE records, with strings cut at their boundaries."""
    wb = xlwt.Workbook(encoding="utf-8")
    ws = wb.add_sheet("名单")
    for i in range(3000):
        ws.write(i, 0, "学生%04d号张三丰" % i if i % 3 else "student %04d" % i)
        ws.write(i, 1, 20120000 + i)
        ws.write(i, 2, "班级%d" % (i % 7) if i % 2 else "class %d" % (i % 7))
    wb.save(path)


# ---------------------------------------------------------------- hand-made xlsx
NS = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" ' \
     'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"'
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
CT = '<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"/>'
ROOT_RELS = ('<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
             '<Relationship Id="rId1" Type="%s/officeDocument" Target="xl/workbook.xml"/></Relationships>' % REL)


def rels(items):
    body = "".join('<Relationship Id="%s" Type="%s/%s" Target="%s"/>' % i for i in items)
    return ('<?xml version="1.0" encoding="UTF-8"?><Relationships '
            'xmlns="http://schemas.openxmlformats.org/package/2006/relationships">%s</Relationships>' % body)


def write_zip(path, parts):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in parts.items():
            z.writestr(name, data)


def handmade_structure(path):
    """Tab order against sheetId, a prefixed namespace, rich and phonetic
    runs, escapes, inline strings, custom and East-Asian formats, 't="d"'."""
    x = 'xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main" ' \
        'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"'
    workbook = ('<x:workbook %s><x:workbookPr/><x:sheets>'
                '<x:sheet name="第一" sheetId="9" r:id="rId7"/>'
                '<x:sheet name="第二" sheetId="1" r:id="rId1"/>'
                '</x:sheets></x:workbook>' % x)
    wrels = rels([("rId1", REL, "worksheet", "worksheets/sheet1.xml"),
                  ("rId7", REL, "worksheet", "./worksheets/../worksheets/data.xml"),
                  ("rId3", REL, "styles", "styles.xml"),
                  ("rId4", REL, "sharedStrings", "/xl/strings.xml")])
    styles = ('<x:styleSheet %s><x:numFmts count="1"><x:numFmt numFmtId="200" formatCode="yyyy/m/d"/></x:numFmts>'
              '<x:cellStyleXfs count="1"><x:xf numFmtId="14"/></x:cellStyleXfs>'
              '<x:cellXfs count="4"><x:xf numFmtId="0"/><x:xf numFmtId="200"/><x:xf numFmtId="31"/>'
              '<x:xf numFmtId="10"/></x:cellXfs></x:styleSheet>' % x)
    sst = ('<x:sst %s count="5" uniqueCount="5">'
           '<x:si><x:t>case</x:t></x:si>'
           '<x:si><x:r><x:t>张</x:t></x:r><x:r><x:rPr><x:b/></x:rPr><x:t xml:space="preserve">三 丰</x:t></x:r></x:si>'
           '<x:si><x:t>東京</x:t><x:rPh sb="0" eb="2"><x:t>トウキョウ</x:t></x:rPh><x:phoneticPr fontId="1"/></x:si>'
           '<x:si><x:t>line_x000D__x000A_break</x:t></x:si>'
           '<x:si><x:t>_x005F_x0041_</x:t></x:si>'
           '</x:sst>' % x)

    def row(r, name, value_xml, expected):
        return ('<x:row r="%d"><x:c r="A%d" t="inlineStr"><x:is><x:t>%s</x:t></x:is></x:c>%s'
                '<x:c r="C%d" t="inlineStr"><x:is><x:t>%s</x:t></x:is></x:c></x:row>'
                % (r, r, name, value_xml % {"r": r}, r, expected))
    rows = [
        row(1, "rich text runs joined", '<x:c r="B%(r)d" t="s"><x:v>1</x:v></x:c>', "张三 丰"),
        row(2, "phonetic runs skipped", '<x:c r="B%(r)d" t="s"><x:v>2</x:v></x:c>', "東京"),
        row(3, "escaped CR LF", '<x:c r="B%(r)d" t="s"><x:v>3</x:v></x:c>', "line&#13;&#10;break"),
        row(4, "escaped underscore", '<x:c r="B%(r)d" t="s"><x:v>4</x:v></x:c>', "_x005F_x0041_"),
        row(5, "inline rich text", '<x:c r="B%(r)d" t="inlineStr"><x:is><x:r><x:t>李</x:t></x:r><x:r><x:t>四</x:t></x:r>'
               '<x:rPh sb="0" eb="1"><x:t>り</x:t></x:rPh></x:is></x:c>', "李四"),
        row(6, "custom date format", '<x:c r="B%(r)d" s="1"><x:v>40000</x:v></x:c>', "2009-07-06"),
        row(7, "undefined east asian date", '<x:c r="B%(r)d" s="2"><x:v>40000</x:v></x:c>', "2009-07-06"),
        row(8, "percent", '<x:c r="B%(r)d" s="3"><x:v>0.5</x:v></x:c>', "0.5"),
        row(9, "iso date", '<x:c r="B%(r)d" t="d"><x:v>2012-03-04T00:00:00</x:v></x:c>', "2012-03-04"),
        row(10, "iso date-time", '<x:c r="B%(r)d" t="d"><x:v>2012-03-04T05:06:07</x:v></x:c>', "2012-03-04 05:06:07"),
        row(11, "error", '<x:c r="B%(r)d" t="e"><x:v>#N/A</x:v></x:c>', ""),
        row(12, "boolean", '<x:c r="B%(r)d" t="b"><x:v>1</x:v></x:c>', "TRUE"),
        row(13, "formula text", '<x:c r="B%(r)d" t="str"><x:f>A1</x:f><x:v>a_x0009_b</x:v></x:c>', "a\tb"),
        row(14, "style out of range", '<x:c r="B%(r)d" s="99"><x:v>2.5</x:v></x:c>', "2.5"),
        row(15, "shared index out of range", '<x:c r="B%(r)d" t="s"><x:v>77</x:v></x:c>', ""),
        # cells without a position follow the one before them
        '<x:row r="16"><x:c t="inlineStr"><x:is><x:t>no position</x:t></x:is></x:c><x:c><x:v>16</x:v></x:c>'
        '<x:c t="inlineStr"><x:is><x:t>16</x:t></x:is></x:c></x:row>',
    ]
    data = '<x:worksheet %s><x:sheetData>%s</x:sheetData></x:worksheet>' % (x, "".join(rows))
    wrong = '<x:worksheet %s><x:sheetData><x:row r="1"><x:c r="A1" t="inlineStr"><x:is><x:t>wrong sheet</x:t></x:is></x:c></x:row></x:sheetData></x:worksheet>' % x
    write_zip(path, {
        "[Content_Types].xml": CT,
        "_rels/.rels": ROOT_RELS,
        "xl/workbook.xml": workbook,
        "xl/_rels/workbook.xml.rels": wrels,
        "xl/styles.xml": styles,
        "xl/strings.xml": sst,
        "xl/worksheets/sheet1.xml": wrong,
        "xl/worksheets/data.xml": data,
    })


def handmade_xlsx(path, sheet_xml, extra=None):
    parts = {
        "[Content_Types].xml": CT,
        "_rels/.rels": ROOT_RELS,
        "xl/workbook.xml": '<workbook %s><sheets><sheet name="s" sheetId="1" r:id="rId1"/></sheets></workbook>' % NS,
        "xl/_rels/workbook.xml.rels": rels([("rId1", REL, "worksheet", "worksheets/sheet1.xml")]),
        "xl/worksheets/sheet1.xml": sheet_xml,
    }
    parts.update(extra or {})
    write_zip(path, parts)


def handmade_hostile(out):
    handmade_xlsx(os.path.join(out, "too-many-rows.xlsx"),
                  '<worksheet %s><sheetData><row r="1"><c r="A1"><v>1</v></c></row>'
                  '<row r="1048577"><c r="A1048577"><v>2</v></c></row></sheetData></worksheet>' % NS)
    handmade_xlsx(os.path.join(out, "bad-xml.xlsx"),
                  '<worksheet %s><sheetData><row r="1"><c r="A1"><v>1</v></row></sheetData></worksheet>' % NS)
    handmade_xlsx(os.path.join(out, "doctype.xlsx"),
                  '<!DOCTYPE x [<!ENTITY a "aaaaaaaaaa"><!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;">]>'
                  '<worksheet %s><sheetData><row r="1"><c r="A1" t="inlineStr"><is><t>&b;</t></is></c></row></sheetData></worksheet>' % NS)
    handmade_xlsx(os.path.join(out, "empty-sheet.xlsx"), '<worksheet %s><sheetData/></worksheet>' % NS)
    # A sheet that inflates past 256 MB from a file of a few hundred kilobytes.
    path = os.path.join(out, "inflates-too-far.xlsx")
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        for name, data in {"[Content_Types].xml": CT, "_rels/.rels": ROOT_RELS,
                           "xl/workbook.xml": '<workbook %s><sheets><sheet name="s" sheetId="1" r:id="rId1"/></sheets></workbook>' % NS,
                           "xl/_rels/workbook.xml.rels": rels([("rId1", REL, "worksheet", "worksheets/sheet1.xml")])}.items():
            z.writestr(name, data)
        with z.open("xl/worksheets/sheet1.xml", "w", force_zip64=True) as f:
            f.write(('<worksheet %s><sheetData>' % NS).encode())
            chunk = b" " * (1 << 20)
            for _ in range(260):
                f.write(chunk)
            f.write(b"</sheetData></worksheet>")


# ---------------------------------------------------------------- hand-made BIFF
def rec(kind, data=b""):
    return struct.pack("<HH", kind, len(data)) + data


def u16str(s):
    """A BIFF8 string with a 2-byte length, compressed when it fits Latin-1."""
    try:
        return struct.pack("<HB", len(s), 0) + s.encode("latin-1")
    except UnicodeEncodeError:
        return struct.pack("<HB", len(s), 1) + s.encode("utf-16-le")


def xf(fmt):
    return rec(0x00E0, struct.pack("<HH", 0, fmt) + b"\0" * 16)


def rk_int(v):
    return (v << 2) | 2


def biff8(path, sheets, sst_records=b"", globals_extra=b"", formats=(), xfs=(0,)):
    """sheets: list of (name, substream-body bytes), in tab order; the
    substreams are stored in reverse order so that stream order differs."""
    head = rec(0x0809, struct.pack("<HHHHII", 0x0600, 0x0005, 0, 0, 0, 0)) + globals_extra
    head += rec(0x0042, struct.pack("<H", 1200))
    for fid, code in formats:
        head += rec(0x041E, struct.pack("<H", fid) + u16str(code))
    for f in xfs:
        head += xf(f)
    bound_len = sum(4 + 8 + len(name.encode("utf-16-le")) for name, _ in sheets)
    tail = sst_records + rec(0x000A)
    pos = len(head) + bound_len + len(tail)
    bodies = []
    positions = {}
    for index in reversed(range(len(sheets))):
        positions[index] = pos
        sub = rec(0x0809, struct.pack("<HHHHII", 0x0600, 0x0010, 0, 0, 0, 0)) + sheets[index][1] + rec(0x000A)
        bodies.append(sub)
        pos += len(sub)
    bound = b""
    for index, (name, _) in enumerate(sheets):
        bound += rec(0x0085, struct.pack("<IBBBB", positions[index], 0, 0, len(name), 1) + name.encode("utf-16-le"))
    stream = head + bound + tail + b"".join(bodies)
    CompoundDoc.XlsDoc().save(path, stream)


def handmade_biff(out):
    # Cases table: A = case, B = value, C = expected (LABEL records).
    def label(r, c, s, xfi=0):
        return rec(0x0204, struct.pack("<HHH", r, c, xfi) + u16str(s))

    def case(r, name, value_records, expected):
        return label(r, 0, name) + value_records + label(r, 2, expected)

    # SST: index 0 a plain string, 1 a string cut by CONTINUE that goes on
    # 16-bit wide, 2 a rich string with phonetic data, 3 empty.
    s0 = u16str("plain")
    cut = "学生张三丰"
    s1_head = struct.pack("<HB", len("ab") + len(cut), 0) + b"ab"
    s1_tail = bytes([1]) + cut.encode("utf-16-le")
    s2 = struct.pack("<HBHI", 2, 0x0C | 1, 1, 4) + "李四".encode("utf-16-le") + struct.pack("<HH", 0, 1) + b"\xAA" * 4
    s3 = struct.pack("<HB", 0, 0)
    sst = rec(0x00FC, struct.pack("<II", 4, 4) + s0 + s1_head) + rec(0x003C, s1_tail + s2 + s3)

    mulrk = rec(0x00BD, struct.pack("<HH", 7, 1) + struct.pack("<HI", 0, rk_int(5)) + struct.pack("<HI", 0, rk_int(6))
                + struct.pack("<H", 2))
    formula_string = (rec(0x0006, struct.pack("<HHH", 8, 1, 0) + bytes([0, 0, 0, 0, 0, 0, 0xFF, 0xFF])
                          + struct.pack("<HI", 0, 0) + b"\x00\x00")
                      + rec(0x04BC, b"\0" * 8)  # a shared-formula record between formula and text
                      + rec(0x0207, u16str("公式文字")))
    body = b"".join([
        case(0, "shared string", rec(0x00FD, struct.pack("<HHHI", 0, 1, 0, 0)), "plain"),
        case(1, "string cut by continue", rec(0x00FD, struct.pack("<HHHI", 1, 1, 0, 1)), "ab" + cut),
        case(2, "rich string with phonetic data", rec(0x00FD, struct.pack("<HHHI", 2, 1, 0, 2)), "李四"),
        case(3, "shared index out of range", rec(0x00FD, struct.pack("<HHHI", 3, 1, 0, 99)), ""),
        case(4, "number", rec(0x0203, struct.pack("<HHHd", 4, 1, 0, 3.5)), "3.5"),
        case(5, "rk hundredths", rec(0x027E, struct.pack("<HHHI", 5, 1, 0, rk_int(1234) | 1)), "12.34"),
        case(6, "rk date", rec(0x027E, struct.pack("<HHHI", 6, 1, 1, rk_int(40000))), "2009-07-06"),
        label(7, 0, "mulrk") + mulrk + label(7, 3, "5 and 6 in B and C"),
        case(8, "formula text", formula_string, "公式文字"),
        case(9, "formula number", rec(0x0006, struct.pack("<HHHdHI", 9, 1, 0, 2.0, 0, 0) + b"\0\0"), "2"),
        case(10, "formula boolean", rec(0x0006, struct.pack("<HHH", 10, 1, 0) + bytes([1, 0, 1, 0, 0, 0, 0xFF, 0xFF]) + struct.pack("<HI", 0, 0) + b"\0\0"), "TRUE"),
        case(11, "formula error", rec(0x0006, struct.pack("<HHH", 11, 1, 0) + bytes([2, 0, 7, 0, 0, 0, 0xFF, 0xFF]) + struct.pack("<HI", 0, 0) + b"\0\0"), ""),
        case(12, "formula empty text", rec(0x0006, struct.pack("<HHH", 12, 1, 0) + bytes([3, 0, 0, 0, 0, 0, 0xFF, 0xFF]) + struct.pack("<HI", 0, 0) + b"\0\0"), ""),
        case(13, "boolean", rec(0x0205, struct.pack("<HHHBB", 13, 1, 0, 0, 0)), "FALSE"),
        case(14, "error value", rec(0x0205, struct.pack("<HHHBB", 14, 1, 0, 0x2A, 1)), ""),
        case(15, "rich string record", rec(0x00D6, struct.pack("<HHH", 15, 1, 0) + u16str("王五") + struct.pack("<H", 1) + b"\0" * 4), "王五"),
        case(16, "custom time format", rec(0x0203, struct.pack("<HHHd", 16, 1, 2, 0.75)), "18:00:00"),
        case(17, "undefined east asian date", rec(0x0203, struct.pack("<HHHd", 17, 1, 3, 40000)), "2009-07-06"),
        # an embedded chart's substream inside the sheet is passed over
        rec(0x0809, struct.pack("<HHHHII", 0x0600, 0x0020, 0, 0, 0, 0)) + label(0, 5, "chart text") + rec(0x000A),
        case(18, "after an embedded chart", rec(0x0203, struct.pack("<HHHd", 18, 1, 0, 7)), "7"),
    ])
    biff8(os.path.join(out, "records.xls"),
          [("第一", body), ("第二", label(0, 0, "wrong sheet"))],
          sst_records=sst, formats=[(170, "h:mm")], xfs=(0, 14, 170, 31))

    biff8(os.path.join(out, "password.xls"), [("s", label(0, 0, "secret"))],
          globals_extra=rec(0x002F, struct.pack("<HHH", 1, 1, 1) + b"\0" * 48))


def rename_stream(data, old, new):
    """Renames a directory entry of an OLE2 file written by xlwt."""
    data = bytearray(data)
    at = data.find(old.encode("utf-16-le") + b"\0\0")
    name = new.encode("utf-16-le") + b"\0\0"
    data[at:at + 64] = name + b"\0" * (64 - len(name))
    data[at + 64:at + 66] = struct.pack("<H", len(name))
    return bytes(data)


def password_xlsx(path):
    """The container Excel writes for an .xlsx with an open password."""
    tmp = path + ".tmp"
    CompoundDoc.XlsDoc().save(tmp, b"\0" * 8192)
    data = open(tmp, "rb").read()
    os.remove(tmp)
    open(path, "wb").write(rename_stream(data, "Workbook", "EncryptedPackage"))


def biff5_book(path):
    """An Excel 5 workbook: a "Book" stream, 8-bit strings in code page 936."""
    def s8(s, n=2):
        b = s.encode("gbk")
        return struct.pack("<H" if n == 2 else "<B", len(b)) + b
    head = rec(0x0809, struct.pack("<HHHH", 0x0500, 0x0005, 0, 0)) + rec(0x0042, struct.pack("<H", 936))
    head += rec(0x041E, struct.pack("<H", 164) + s8("yyyy-mm-dd", 1)) + xf(0) + xf(164)
    name = "名单".encode("gbk")
    bound_len = 4 + 7 + len(name)
    pos = len(head) + bound_len + 4
    body = (rec(0x0204, struct.pack("<HHH", 0, 0, 0) + s8("张三"))
            + rec(0x0203, struct.pack("<HHHd", 0, 1, 0, 20120001))
            + rec(0x0203, struct.pack("<HHHd", 0, 2, 1, 40000))
            + rec(0x0204, struct.pack("<HHH", 1, 0, 0) + s8("李四")))
    sub = rec(0x0809, struct.pack("<HHHH", 0x0500, 0x0010, 0, 0)) + body + rec(0x000A)
    stream = head + rec(0x0085, struct.pack("<IBBB", pos, 0, 0, len(name)) + name) + rec(0x000A) + sub
    tmp = path + ".tmp"
    CompoundDoc.XlsDoc().save(tmp, stream)
    data = open(tmp, "rb").read()
    os.remove(tmp)
    open(path, "wb").write(rename_stream(data, "Workbook", "Book"))


# ---------------------------------------------------------------- LibreOffice
def libreoffice_copies(out):
    soffice = shutil.which("soffice")
    if not soffice:
        print("soffice not found: LibreOffice copies skipped", file=sys.stderr)
        return
    with tempfile.TemporaryDirectory() as tmp:
        for source, target, fmt in [("cells-xlsxwriter.xlsx", "cells-libreoffice.xls", "xls"),
                                    ("cells-xlsxwriter.xlsx", "cells-libreoffice.xlsx", "xlsx"),
                                    ("blanks-xlsxwriter.xlsx", "blanks-libreoffice.xls", "xls")]:
            subprocess.run([soffice, "-env:UserInstallation=file://" + tmp + "/profile", "--headless",
                            "--convert-to", fmt, "--outdir", tmp, os.path.join(out, source)],
                           check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            produced = os.path.join(tmp, os.path.splitext(source)[0] + "." + fmt)
            shutil.move(produced, os.path.join(out, target))


def other_kinds():
    for kind in ("xlsm", "xltx", "xltm"):
        openpyxl_kind(os.path.join(OUT, "blanks-openpyxl." + kind), kind)
    csv_blanks(os.path.join(OUT, "blanks-utf8.csv"), "utf-8", False, "\n", False)
    csv_blanks(os.path.join(OUT, "blanks-utf8-bom.csv"), "utf-8", True, "\r\n", False)
    csv_blanks(os.path.join(OUT, "blanks-gbk.csv"), "gbk", False, "\r\n", True)


def main():
    os.makedirs(OUT, exist_ok=True)
    if sys.argv[1:] == ["other-kinds"]:  # only these, leaving the other files as they are
        other_kinds()
        return
    other_kinds()
    openpyxl_cells(os.path.join(OUT, "cells-openpyxl.xlsx"))
    xlsxwriter_cells(os.path.join(OUT, "cells-xlsxwriter.xlsx"))
    xlwt_cells(os.path.join(OUT, "cells-xlwt.xls"))
    openpyxl_1904(os.path.join(OUT, "date1904-openpyxl.xlsx"))
    xlwt_1904(os.path.join(OUT, "date1904-xlwt.xls"))
    openpyxl_blanks(os.path.join(OUT, "blanks-openpyxl.xlsx"))
    xlsxwriter_blanks(os.path.join(OUT, "blanks-xlsxwriter.xlsx"))
    xlwt_blanks(os.path.join(OUT, "blanks-xlwt.xls"))
    big_roster(os.path.join(OUT, "big-xlwt.xls"))
    handmade_structure(os.path.join(OUT, "structure.xlsx"))
    handmade_hostile(OUT)
    handmade_biff(OUT)
    biff5_book(os.path.join(OUT, "excel5.xls"))
    password_xlsx(os.path.join(OUT, "password.xlsx"))
    libreoffice_copies(OUT)


if __name__ == "__main__":
    main()
