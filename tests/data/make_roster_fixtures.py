#!/usr/bin/python3
"""Small workbooks for the main window's roster tests (run from this folder)."""
import openpyxl

def sheet(path, rows):
    wb = openpyxl.Workbook()
    ws = wb.active
    for r in rows:
        ws.append(r)
    wb.save(path)

sheet("roster/class.xlsx", [
    ["姓名", "学号", "班级"],
    ["张三", 20120001, "一班"],
    ["李四", 20120002, "一班"],
    ["王五", 20120003, "二班"],
    ["赵六", 20120004, "二班"],
])
sheet("roster/one.xlsx", [["孤单", 1, "三班"]])
with open("roster/broken.xlsx", "wb") as f:
    f.write(b"PK\x03\x04 this is not really a workbook")

# Identity numbers as real writers leave them. Column A holds them, B the
# name, C the class; the comments say what the reader must make of each.
import xlsxwriter
import xlwt

WEIGHTS = [7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2]

def with_check(first17):
    return first17 + "10X98765432"[sum(int(d) * w for d, w in zip(first17, WEIGHTS)) % 11]

VALID_A = with_check("44030419850612345")
VALID_B = with_check("32010620080915002")
ZEROED = VALID_B[:15] + "000"  # Excel's 15 significant digits, written back as text
assert with_check(ZEROED[:17]) != ZEROED[17]
WRONG = VALID_A[:17] + ("1" if VALID_A[17] != "1" else "2")
ID_ROWS = [
    ("身份证号", "姓名", "班级"),
    ("11010519491231002X", "张三", "一班"),  # valid, X
    (int(VALID_A), "李四", "一班"),  # a number cell: 15 significant digits
    (VALID_B, "王五", "一班"),  # valid
    ("1.10101E+17", "赵六", "二班"),  # Excel's display kept as text
    (ZEROED, "钱七", "二班"),  # last three digits 000
    (VALID_A + ".0", "孙八", "二班"),  # a number written out as text
    (WRONG, "周九", "二班"),  # wrong check digit
    (110101900307123, "吴十", "二班"),  # a 15-digit old number in a number cell: valid
    (None, "郑一", "二班"),  # no number
    ("11010519491231002x", "王二", "二班"),  # valid, small x
]

def ids_openpyxl(path):
    sheet(path, [list(r) for r in ID_ROWS])

def ids_xlsxwriter(path):
    wb = xlsxwriter.Workbook(path)
    ws = wb.add_worksheet()
    for r, row in enumerate(ID_ROWS):
        for c, v in enumerate(row):
            if isinstance(v, int):
                ws.write_number(r, c, v)
            elif v is not None:
                ws.write_string(r, c, v)
    wb.close()

def ids_xlwt(path):
    wb = xlwt.Workbook(encoding="utf-8")
    ws = wb.add_sheet("Sheet1")
    for r, row in enumerate(ID_ROWS):
        for c, v in enumerate(row):
            if v is not None:
                ws.write(r, c, float(v) if isinstance(v, int) else v)
    wb.save(path)

ids_openpyxl("roster/ids-openpyxl.xlsx")
ids_xlsxwriter("roster/ids-xlsxwriter.xlsx")
ids_xlwt("roster/ids-xlwt.xls")
print("valid:", VALID_A, VALID_B, "zeroed:", ZEROED, "wrong:", WRONG)
