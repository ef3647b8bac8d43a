"""Reads a freshly saved spreadsheet template with an independent reader.

Usage: check_template.py SAVE_TEMPLATE_EXECUTABLE

Runs the executable to save the template into a temporary folder, then checks
the saved workbook with xlrd (sheets, visibility, cells, merges, the example
row) and, since xlrd ignores data validations, walks the BIFF records of the
Workbook stream itself for the list validations of the data sheet.
"""

import csv
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

try:
    import xlrd
    from xlrd import compdoc
except ImportError:
    print("xlrd is not installed; skipping")
    sys.exit(77)

SAVE_TEMPLATE = None

TITLE = (
    "附件\n"
    + " " * 37 + "手 机 号 码 采 集 统 计 表\n"
    + " " * 2 + "\n"
    + " " * 4 + "填表单位：" + " " * 45 + "填表时间：   年   月   日"
)

HEADER_TOP = {0: "姓名", 1: "性别", 2: "出生年月", 3: "学历", 4: "类别",
              5: "所 在 地 方", 8: "单位及职务", 9: "手机号码"}
HEADER_BOTTOM = {5: "省(区、市)", 6: "市(地、州、盟)", 7: "县(市、区、旗)"}

SEXES = ["男", "女"]
EDUCATIONS = ["小学", "初中", "高中", "中专", "大专", "大学", "硕士", "博士", "其他"]
CATEGORIES = ["乡镇", "村", "社区", "街道", "国有集体企业", "非公企业", "事业单位",
              "社会团体", "基金会", "民办非企业单位", "律师事务所", "会计师事务所", "机关",
              "大学生村官", "市县党委书记", "组织人事部门正职", "组织人事部门副职", "组工干部"]
PROVINCES = ["北京市", "天津市", "河北省", "山西省", "内蒙古自治区", "辽宁省", "吉林省",
             "黑龙江省", "上海市", "江苏省", "浙江省", "安徽省", "福建省", "江西省", "山东省",
             "河南省", "湖北省", "湖南省", "广东省", "广西壮族自治区", "海南省", "重庆市",
             "四川省", "贵州省", "云南省", "西藏自治区", "陕西省", "甘肃省", "青海省",
             "宁夏回族自治区", "新疆维吾尔自治区", "台湾省", "香港特别行政区",
             "澳门特别行政区"]

# (column, first list row, last list row in Sheet2, error title, error message,
#  header cells as (first row, last row), zero-based)
LIST_VALIDATIONS = {
    1: (0, 2, "性别效验", "请输入正确的性别信息！", (0, 0)),
    3: (1, 10, "学历效验", "请输入正确的学历信息！", (0, 0)),
    4: (2, 18, "类别效验", "请输入正确的类别信息！", (0, 0)),
    5: (3, 34, "省（区、市）效验", "请输入正确的省（区、市）效验信息！", (0, 1)),
}

PTG_AREA_3D = 0x3B
DV_TYPE_LIST = 3
DV_ERROR_STOP = 0


def save_fresh_template(folder):
    path = os.path.join(folder, "模板.xls")
    subprocess.run([SAVE_TEMPLATE, path], check=True)
    return path


def records(stream, start=0):
    pos = start
    while pos + 4 <= len(stream):
        rid, size = struct.unpack_from("<HH", stream, pos)
        yield pos, rid, stream[pos + 4:pos + 4 + size]
        pos += 4 + size


def unicode_string(data, pos, length_bytes=2):
    count = data[pos] if length_bytes == 1 else struct.unpack_from("<H", data, pos)[0]
    pos += length_bytes
    wide = data[pos] & 1
    pos += 1
    size = count * (2 if wide else 1)
    raw = data[pos:pos + size]
    return raw.decode("utf-16-le" if wide else "latin-1"), pos + size


def parse_dv(body):
    flags = struct.unpack_from("<I", body, 0)[0]
    pos = 4
    texts = []
    for _ in range(4):
        text, pos = unicode_string(body, pos)
        texts.append(text)
    formulas = []
    for _ in range(2):
        size = struct.unpack_from("<H", body, pos)[0]
        formulas.append(body[pos + 4:pos + 4 + size])
        pos += 4 + size
    count = struct.unpack_from("<H", body, pos)[0]
    ranges = [struct.unpack_from("<HHHH", body, pos + 2 + 8 * i) for i in range(count)]
    return {
        "type": flags & 0x0F,
        "error_style": (flags >> 4) & 0x07,
        "allow_blank": bool(flags & 0x100),
        "hide_dropdown": bool(flags & 0x200),
        "show_error": bool(flags & 0x80000),
        "error_title": texts[1].rstrip("\0"),
        "error_message": texts[3].rstrip("\0"),
        "formula": formulas[0],
        "ranges": ranges,  # (first row, last row, first column, last column)
    }


class SavedTemplate(unittest.TestCase):
    # Rows the data sheet holds: the title and the two header rows.
    expected_rows = 3
    # Merges of the data sheet beyond the template's nine.
    more_merges = ()

    @classmethod
    def make_workbook(cls, folder):
        return save_fresh_template(folder)

    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        path = cls.make_workbook(cls.folder.name)
        cls.path = path
        with open(path, "rb") as f:
            cls.data = f.read()
        cls.book = xlrd.open_workbook(file_contents=cls.data, formatting_info=True)
        with open(os.devnull, "w") as quiet:
            cls.stream = compdoc.CompDoc(cls.data, logfile=quiet).get_named_stream("Workbook")

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def test_sheets_in_order_with_lists_sheet_hidden(self):
        self.assertEqual(self.book.sheet_names(), ["Sheet1", "Sheet2", "说明"])
        self.assertEqual([s.visibility for s in self.book.sheets()], [0, 1, 0])

    def check_header_block(self, sheet, top):
        for col, text in HEADER_TOP.items():
            self.assertEqual(sheet.cell_value(top, col), text, (top, col))
        for col, text in HEADER_BOTTOM.items():
            self.assertEqual(sheet.cell_value(top + 1, col), text, (top + 1, col))
        two_rows = [(top, top + 2, col, col + 1) for col in (0, 1, 2, 3, 4, 8, 9)]
        location = (top, top + 1, 5, 8)
        for merge in two_rows + [location]:
            self.assertIn(merge, sheet.merged_cells)

    def test_data_sheet_has_title_and_headers_then_the_rows(self):
        sheet = self.book.sheet_by_name("Sheet1")
        self.assertEqual(sheet.cell_value(0, 0), TITLE)
        self.assertIn((0, 1, 0, 10), sheet.merged_cells)
        self.check_header_block(sheet, 1)
        for merge in self.more_merges:
            self.assertIn(merge, sheet.merged_cells)
        self.assertEqual(len(sheet.merged_cells), 9 + len(self.more_merges))
        self.assertEqual(sheet.nrows, self.expected_rows, "data rows start at row 4")
        for row in range(3):
            for cell in sheet.row(row):
                self.assertIn(cell.ctype, (xlrd.XL_CELL_TEXT, xlrd.XL_CELL_BLANK,
                                           xlrd.XL_CELL_EMPTY))

    def test_birthday_column_shows_dates(self):
        sheet = self.book.sheet_by_name("Sheet1")
        xf = self.book.xf_list[sheet.colinfo_map[2].xf_index]
        self.assertEqual(self.book.format_map[xf.format_key].format_str, "yyyy\\-mm\\-dd")

    def test_lists_sheet_holds_the_pick_lists(self):
        sheet = self.book.sheet_by_name("Sheet2")
        for col, entries in enumerate([SEXES, EDUCATIONS, CATEGORIES, PROVINCES]):
            values = [v for v in sheet.col_values(col) if v != ""]
            self.assertEqual(values, entries, col)

    def test_notes_sheet_has_header_and_example_row(self):
        sheet = self.book.sheet_by_name("说明")
        self.check_header_block(sheet, 0)
        texts = {0: "XX", 1: "男", 3: "大学", 4: "村", 5: "XX省", 6: "XX市", 7: "XX县",
                 8: "XX镇XX村" + " " * 13 + "党支部书记"}
        for col, text in texts.items():
            self.assertEqual(sheet.cell_value(2, col), text, col)
        birthday = sheet.cell(2, 2)
        self.assertEqual(birthday.ctype, xlrd.XL_CELL_DATE)
        self.assertEqual(xlrd.xldate_as_tuple(birthday.value, self.book.datemode)[:3],
                         (1961, 1, 1))
        instructions = sheet.cell_value(14, 0).split("\n")
        self.assertEqual(len(instructions), 17)
        self.assertEqual(instructions[0], "说明：")
        self.assertIn((14, 15, 0, 10), sheet.merged_cells)

    def sheet_substreams(self):
        """Maps sheet name to the stream offset of its BOF record."""
        offsets = {}
        for _, rid, body in records(self.stream):
            if rid == 0x0085:  # BOUNDSHEET
                name, _ = unicode_string(body, 6, length_bytes=1)
                offsets[name] = struct.unpack_from("<I", body, 0)[0]
            elif rid == 0x000A:  # EOF of the workbook globals
                break
        return offsets

    def externsheet_sheets(self):
        for _, rid, body in records(self.stream):
            if rid == 0x0017:  # EXTERNSHEET
                count = struct.unpack_from("<H", body, 0)[0]
                return [struct.unpack_from("<HHH", body, 2 + 6 * i)[1:] for i in range(count)]
            if rid == 0x000A:
                break
        return []

    def validations_of(self, sheet_name):
        found = []
        for _, rid, body in records(self.stream, self.sheet_substreams()[sheet_name]):
            if rid == 0x01BE:  # DV
                found.append(parse_dv(body))
            elif rid == 0x000A:
                break
        return found

    def test_data_sheet_list_validations_refer_to_lists_sheet(self):
        lists_sheet = self.book.sheet_names().index("Sheet2")
        extern = self.externsheet_sheets()
        validations = self.validations_of("Sheet1")
        self.assertEqual(len(validations), 4)
        by_column = {}
        for dv in validations:
            by_column[min(r[2] for r in dv["ranges"])] = dv
        self.assertEqual(sorted(by_column), sorted(LIST_VALIDATIONS))

        for col, (list_col, list_rows, title, message, header) in LIST_VALIDATIONS.items():
            with self.subTest(column=col):
                dv = by_column[col]
                self.assertEqual(dv["type"], DV_TYPE_LIST)
                self.assertEqual(dv["error_style"], DV_ERROR_STOP)
                self.assertTrue(dv["allow_blank"])
                self.assertFalse(dv["hide_dropdown"])
                self.assertTrue(dv["show_error"])
                self.assertEqual(dv["error_title"], title)
                self.assertEqual(dv["error_message"], message)
                self.assertEqual(sorted(dv["ranges"]),
                                 sorted([(3, 65535, col, col), header + (col, col)]))

                formula = dv["formula"]
                self.assertEqual(len(formula), 11)
                ptg, ixti, row1, row2, col1, col2 = struct.unpack("<BHHHHH", formula)
                self.assertEqual(ptg, PTG_AREA_3D)
                self.assertLess(ixti, len(extern), "sheet reference without EXTERNSHEET entry")
                self.assertEqual(extern[ixti], (lists_sheet, lists_sheet))
                self.assertEqual((row1, row2), (0, list_rows - 1))
                self.assertEqual((col1 & 0xFF, col2 & 0xFF), (list_col, list_col))
                # Absolute rows and columns: the relative flags are clear.
                self.assertEqual((col1 | col2) & 0xC000, 0)

    @unittest.skipUnless(shutil.which("ssconvert"), "gnumeric is not installed")
    def test_gnumeric_reads_all_three_sheets(self):
        saved = self.path
        pattern = os.path.join(self.folder.name, "sheet_%n.csv")
        env = dict(os.environ, HOME=self.folder.name)
        subprocess.run(["ssconvert", "-S", saved, pattern], check=True, env=env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        with open(pattern.replace("%n", "0"), encoding="utf-8", newline="") as f:
            rows = list(csv.reader(f))
        self.assertEqual(rows[0][0], TITLE)
        self.assertEqual(rows[1][:5], [HEADER_TOP[c] for c in range(5)])
        self.assertTrue(os.path.exists(pattern.replace("%n", "2")))


if __name__ == "__main__":
    SAVE_TEMPLATE = sys.argv.pop(1)
    unittest.main()
