"""Reads workbooks the program writes with independent readers.

Usage: check_export.py FILL_WORKBOOK_EXECUTABLE GOLDEN_XLS GOLDEN_CSV

A workbook filled with a few thousand rows (several cell blocks, shared strings
split over CONTINUE records), the golden export, and the rejected-rows and
duplicate-rows workbooks of the golden import are read with xlrd, gnumeric
and LibreOffice where installed: every value must sit in its cell, and the
template's sheets, validations and notes must have survived the writing.
"""

import csv
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

import check_template
from check_template import SavedTemplate, xlrd

FILL_WORKBOOK = None
GOLDEN_XLS = None
GOLDEN_CSV = None
GOLDEN_DIR = None
FILLED_ROWS = 3000
COLUMNS = ["User_Name", "User_Sex", "User_Birthday", "User_Education", "Recode_Type",
           "Province", "City", "County_Seat", "Organization_Detial", "Mobile_NO"]


def expected_text(row, column):
    """Kept in step with Text() in fill_workbook_main.cpp."""
    if column == 1:
        return "张%d" % row
    if column == 3:
        return "" if row % 5 == 0 else "1980-01-%d" % (10 + row % 20)
    if column == 9:
        return "单位" * (row % 400)
    if column == 10:
        return str(13500000000 + row)
    if row % 7 == 0:
        return "'); drop table t_address_book; --"
    return "r%dc%d" % (row, column)


def converted_rows(tool, path, folder):
    """The first sheet as CSV rows, converted by gnumeric or LibreOffice."""
    env = dict(os.environ, HOME=folder)
    if tool == "ssconvert":
        out = os.path.join(folder, "gnumeric.csv")
        subprocess.run(["ssconvert", "--export-type=Gnumeric_stf:stf_csv", path, out],
                       check=True, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    else:
        subprocess.run(["soffice", "--headless", "--convert-to",
                        "csv:Text - txt - csv (StarCalc):44,34,76", "--outdir", folder, path],
                       check=True, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=300)
        out = os.path.join(folder, os.path.splitext(os.path.basename(path))[0] + ".csv")
    with open(out, encoding="utf-8", newline="") as f:
        return list(csv.reader(f))


class WrittenWorkbook(SavedTemplate):
    """What every written workbook must show: the template around the rows."""

    columns = 10

    def expected_cells(self):
        raise NotImplementedError

    def test_every_value_sits_in_its_cell(self):
        sheet = self.book.sheet_by_name("Sheet1")
        for row, values in enumerate(self.expected_cells(), start=3):
            self.assertEqual([sheet.cell_value(row, c) for c in range(self.columns)], values, row)

    def check_converted(self, tool):
        rows = converted_rows(tool, self.path, self.folder.name)
        expected = self.expected_cells()
        self.assertEqual(len(rows), 3 + len(expected))
        for number, values in enumerate(expected):
            self.assertEqual(rows[3 + number][:self.columns], values, number)

    @unittest.skipUnless(shutil.which("ssconvert"), "gnumeric is not installed")
    def test_gnumeric_reads_every_value(self):
        self.check_converted("ssconvert")

    @unittest.skipUnless(shutil.which("soffice"), "LibreOffice is not installed")
    def test_libreoffice_reads_every_value(self):
        self.check_converted("soffice")


class FilledWorkbook(WrittenWorkbook):
    expected_rows = 3 + FILLED_ROWS

    @classmethod
    def make_workbook(cls, folder):
        path = os.path.join(folder, "filled.xls")
        subprocess.run([FILL_WORKBOOK, path, str(FILLED_ROWS)], check=True)
        return path

    def expected_cells(self):
        return [[expected_text(r, c) for c in range(1, 11)] for r in range(FILLED_ROWS)]


class GoldenCopy(WrittenWorkbook):
    """A committed workbook, read from a copy in the test's folder."""

    golden_name = None

    @classmethod
    def make_workbook(cls, folder):
        path = os.path.join(folder, cls.golden_name)
        shutil.copyfile(os.path.join(GOLDEN_DIR, cls.golden_name), path)
        return path


class GoldenWorkbook(GoldenCopy):
    golden_name = "golden_1.xls"
    expected_rows = 3 + 25

    def expected_cells(self):
        with open(GOLDEN_CSV, encoding="utf-8", newline="") as f:
            records = list(csv.DictReader(f))
        return [[record[column] for column in COLUMNS] for record in records]


class FailedRowsCopy(GoldenCopy):
    """Rows an import sent back, the reason in column K under a heading of its own that
    spans both header rows and is as wide as the name column, as its heading is."""

    columns = 11
    more_merges = ((1, 3, 10, 11),)
    heading = None

    def test_the_reason_column_has_a_heading_like_the_names(self):
        sheet = self.book.sheet_by_name("Sheet1")
        self.assertEqual(sheet.cell_value(1, 10), self.heading)
        self.assertEqual(sheet.cell_xf_index(1, 10), sheet.cell_xf_index(1, 0))
        self.assertEqual(sheet.cell_xf_index(2, 10), sheet.cell_xf_index(2, 0))
        self.assertEqual(sheet.colinfo_map[10].width, sheet.colinfo_map[0].width)


class RejectedRowsWorkbook(FailedRowsCopy):
    """The rows the golden import rejected, each with its reason in column 11."""

    golden_name = "import_rejected.xls"
    heading = "错误原因"
    expected_rows = 3 + 6

    def expected_cells(self):
        with open(os.path.join(GOLDEN_DIR, "import_rejected.csv"), encoding="utf-8",
                  newline="") as f:
            return list(csv.reader(f))


class DuplicateRowsWorkbook(FailedRowsCopy):
    golden_name = "import_duplicates.xls"
    heading = "重复原因"
    expected_rows = 3 + 1

    def expected_cells(self):
        return [["张7", "男", "1980-01-02", "大学", "村", "河北省", "石家庄市", "长安区",
                 "某单位 书记", "13500000007", "重复数据"]]


del SavedTemplate, WrittenWorkbook, GoldenCopy, FailedRowsCopy  # run only the concrete cases

if __name__ == "__main__":
    FILL_WORKBOOK, GOLDEN_XLS, GOLDEN_CSV = sys.argv[1:4]
    GOLDEN_DIR = os.path.dirname(GOLDEN_XLS)
    del sys.argv[1:4]
    check_template.SAVE_TEMPLATE = None
    unittest.main()
