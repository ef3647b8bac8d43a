"""Writes the rows of a UTF-8 CSV file into one .xls sheet from row 4, every value as
text, with python3-xlwt: the peer of the spreadsheet export benchmark.

Usage: xlwt_write.py ROWS.csv OUTPUT.xls
"""
import csv
import sys

import xlwt

book = xlwt.Workbook(encoding="utf-8")
sheet = book.add_sheet("Sheet1")
with open(sys.argv[1], encoding="utf-8", newline="") as f:
    for number, row in enumerate(csv.reader(f), start=3):
        for column, value in enumerate(row):
            sheet.write(number, column, value)
book.save(sys.argv[2])
