"""Writes the rows of a UTF-8 CSV file into one .xlsx sheet from row 4, every value as
text, with python3-openpyxl in write-only mode: the peer of the .xlsx export benchmark.

Usage: openpyxl_write.py ROWS.csv OUTPUT.xlsx
"""
import csv
import sys

from openpyxl import Workbook

book = Workbook(write_only=True)
sheet = book.create_sheet("Sheet1")
for _ in range(3):
    sheet.append([])
with open(sys.argv[1], encoding="utf-8", newline="") as f:
    for row in csv.reader(f):
        sheet.append(row)
book.save(sys.argv[2])
