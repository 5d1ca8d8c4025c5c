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
