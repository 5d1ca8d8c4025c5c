#!/usr/bin/python3
"""Helper of bench_readers.
  make DIR ROWS    writes DIR/roster.xlsx (xlsxwriter) and DIR/roster.xls (xlwt)
  openpyxl FILE    reads columns A-C of every row with openpyxl in read-only
                   mode and prints "<seconds> <rows>"
  dump FILE        the same read, printing the rows TAB-separated as
                   photostation --dump-roster does (timed from outside)
"""
import sys
import time


def make(folder, rows):
    import xlsxwriter
    import xlwt
    classes = ["一年级%d班" % i for i in range(1, 13)]
    wb = xlsxwriter.Workbook(folder + "/roster.xlsx")
    ws = wb.add_worksheet("名单")
    for r in range(rows):
        ws.write_string(r, 0, "学生%05d张" % r)
        ws.write_number(r, 1, 20120000 + r)
        ws.write_string(r, 2, classes[r % 12])
    wb.close()
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("名单")
    for r in range(rows):
        sheet.write(r, 0, "学生%05d张" % r)
        sheet.write(r, 1, 20120000 + r)
        sheet.write(r, 2, classes[r % 12])
    book.save(folder + "/roster.xls")


def read_openpyxl(path):
    import openpyxl
    start = time.perf_counter()
    wb = openpyxl.load_workbook(path, read_only=True)
    ws = wb.worksheets[0]
    count = 0
    for row in ws.iter_rows(min_col=1, max_col=3, values_only=True):
        if any(v is not None for v in row):
            count += 1
    wb.close()
    print("%.6f %d" % (time.perf_counter() - start, count))


def dump(path):
    import openpyxl
    wb = openpyxl.load_workbook(path, read_only=True)
    ws = wb.worksheets[0]
    out = sys.stdout
    for row in ws.iter_rows(min_col=1, max_col=3, values_only=True):
        if any(v is not None for v in row):
            out.write("\t".join("" if v is None else str(v) for v in row) + "\n")
    wb.close()


if __name__ == "__main__":
    if sys.argv[1] == "make":
        make(sys.argv[2], int(sys.argv[3]))
    elif sys.argv[1] == "dump":
        dump(sys.argv[2])
    else:
        read_openpyxl(sys.argv[2])
