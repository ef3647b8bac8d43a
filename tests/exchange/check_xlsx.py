"""Reads the .xlsx workbooks the program writes with independent readers.

Usage: check_xlsx.py SAVE_TEMPLATE_EXECUTABLE FILL_WORKBOOK_EXECUTABLE

The blank .xlsx form is compared with the .xls template the program carries,
sheet by sheet and cell by cell (openpyxl against xlrd): the same texts, merges
and visibility, and in the .xlsx the four list validations down to the sheet's
end. A workbook of a few thousand written rows is read back with openpyxl,
gnumeric and LibreOffice where installed.
"""

import datetime
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

try:
    import openpyxl
    import xlrd
except ImportError:
    print("openpyxl or xlrd is not installed; skipping")
    sys.exit(77)

import check_export
from check_export import FILLED_ROWS, converted_rows, expected_text

SAVE_TEMPLATE = None
FILL_WORKBOOK = None
LAST_ROW = 1048576


def xls_value(book, cell):
    if cell.ctype == xlrd.XL_CELL_DATE:
        return xlrd.xldate.xldate_as_datetime(cell.value, book.datemode)
    return cell.value


class BlankForm(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        xls = os.path.join(cls.folder.name, "form.xls")
        cls.path = os.path.join(cls.folder.name, "form.xlsx")
        subprocess.run([SAVE_TEMPLATE, xls], check=True)
        subprocess.run([SAVE_TEMPLATE, cls.path], check=True)
        cls.xls = xlrd.open_workbook(xls, formatting_info=True)
        cls.xlsx = openpyxl.load_workbook(cls.path)

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def test_the_sheets_are_those_of_the_xls_with_the_lists_hidden(self):
        self.assertEqual(self.xlsx.sheetnames, self.xls.sheet_names())
        self.assertEqual([s.sheet_state for s in self.xlsx.worksheets],
                         ["visible", "hidden", "visible"])
        self.assertEqual(self.xlsx.active.title, "Sheet1")

    def test_every_cell_and_merge_is_that_of_the_xls(self):
        for old in self.xls.sheets():
            new = self.xlsx[old.name]
            for row in range(old.nrows):
                for column in range(old.ncols):
                    want = xls_value(self.xls, old.cell(row, column))
                    got = new.cell(row + 1, column + 1).value
                    self.assertEqual(got if got is not None else "", want,
                                     (old.name, row, column))
            self.assertEqual(new.max_row, old.nrows, old.name)
            merges = sorted((r0, r1 - 1, c0, c1 - 1) for r0, r1, c0, c1 in old.merged_cells)
            self.assertEqual(sorted((m.min_row - 1, m.max_row - 1, m.min_col - 1, m.max_col - 1)
                                    for m in new.merged_cells.ranges), merges, old.name)

    def test_the_list_rules_reach_the_sheets_end(self):
        sheet = self.xlsx["Sheet1"]
        rules = {}
        for rule in sheet.data_validations.dataValidation:
            self.assertEqual(rule.type, "list")
            self.assertIn(rule.errorStyle, (None, "stop"))  # absent means stop
            self.assertTrue(rule.allow_blank)
            for cells in str(rule.sqref).split():
                rules[cells] = (rule.formula1, rule.errorTitle, rule.error)
        self.assertEqual(rules["B4:B%d" % LAST_ROW],
                         ("Sheet2!$A$1:$A$2", "性别效验", "请输入正确的性别信息！"))
        self.assertEqual(rules["D4:D%d" % LAST_ROW][:2], ("Sheet2!$B$1:$B$10", "学历效验"))
        self.assertEqual(rules["E4:E%d" % LAST_ROW][1], "类别效验")
        self.assertEqual(rules["F4:F%d" % LAST_ROW],
                         ("Sheet2!$D$1:$D$34", "省（区、市）效验",
                          "请输入正确的省（区、市）效验信息！"))
        self.assertIn("F1:F2", rules)
        lists = self.xlsx["Sheet2"]
        for cells, (formula, _, _) in rules.items():
            column = formula.split("$")[1]
            last = int(formula.split("$")[-1])
            self.assertTrue(all(lists["%s%d" % (column, r)].value for r in range(1, last)), cells)
        self.assertEqual(len(self.xlsx["说明"].data_validations.dataValidation), 11)

    def test_the_birthday_column_is_text(self):
        sheet = self.xlsx["Sheet1"]
        self.assertEqual(sheet.column_dimensions["C"].number_format, "@")
        self.assertAlmostEqual(sheet.row_dimensions[1].height, 113.25)


class FilledXlsx(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.path = os.path.join(cls.folder.name, "filled.xlsx")
        subprocess.run([FILL_WORKBOOK, cls.path, str(FILLED_ROWS)], check=True)

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def expected(self):
        return [[expected_text(r, c) for c in range(1, 11)] for r in range(FILLED_ROWS)]

    def test_openpyxl_reads_every_value(self):
        book = openpyxl.load_workbook(self.path, read_only=True)
        rows = list(book["Sheet1"].iter_rows(min_row=4, max_col=10, values_only=True))
        self.assertEqual([[v if v is not None else "" for v in row] for row in rows],
                         self.expected())
        self.assertEqual(book["Sheet1"]["C5"].number_format, "@")
        # What a streaming reader takes as the sheet's extent, before it reads a row.
        self.assertEqual((book["Sheet1"].max_row, book["Sheet1"].max_column), (FILLED_ROWS + 3, 10))

    def check_converted(self, tool):
        rows = converted_rows(tool, self.path, self.folder.name)
        self.assertEqual([row[:10] for row in rows[3:]], self.expected())

    @unittest.skipUnless(shutil.which("ssconvert"), "gnumeric is not installed")
    def test_gnumeric_reads_every_value(self):
        self.check_converted("ssconvert")

    @unittest.skipUnless(shutil.which("soffice"), "LibreOffice is not installed")
    def test_libreoffice_reads_every_value(self):
        self.check_converted("soffice")


if __name__ == "__main__":
    SAVE_TEMPLATE, FILL_WORKBOOK = sys.argv[1:3]
    del sys.argv[1:3]
    unittest.main()
