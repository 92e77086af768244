#!/usr/bin/python3
# Writes bahn.xls, the workbook the path import test reads: a header row and
# three points (column A X in mm, column B Y in mm). Needs Debian's python3-xlwt.
import xlwt

book = xlwt.Workbook()
sheet = book.add_sheet("Bahn")
sheet.write(0, 0, "X mm")
sheet.write(0, 1, "Y mm")
for row, (x, y) in enumerate([(0.0, 0.0), (0.25, -0.5), (1, 0.125)], start=1):
    sheet.write(row, 0, x)
    sheet.write(row, 1, y)
# A second sheet that the import must not read.
book.add_sheet("Notizen").write(0, 0, 99)
book.save("bahn.xls")
