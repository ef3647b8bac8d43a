"""Checks the workbook reader against an independent one: for every .xls that xlrd reads,
xlsdump must show the same text in every cell of the first sheet.

Usage: compare_with_xlrd.py XLSDUMP FILE_OR_FOLDER...  (exit 77 when xlrd is missing)

Where the two differ by design the comparison allows for it: text is GB18030 inside the
program, which holds every character, but a lone surrogate reads as U+FFFD; serials before 1900-03-01, which xlrd
refuses as dates, are left out; BIFF2 to BIFF4 files, which the reader refuses, are left
out; the used range counts formatted empty cells, which xlrd
leaves out, so cells past xlrd's range must be empty.
"""
import os
import subprocess
import sys

try:
    import xlrd
except ImportError:
    print("python3-xlrd is not installed; skipping")
    sys.exit(77)


def expected_text(cell, book):
    kind, value = cell.ctype, cell.value
    if kind in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
        return ""
    if kind == xlrd.XL_CELL_TEXT:
        return "".join("\ufffd" if 0xD800 <= ord(c) <= 0xDFFF else c
                       for c in value.replace("\x00", ""))
    if kind == xlrd.XL_CELL_BOOLEAN:
        return "TRUE" if value else "FALSE"
    if kind == xlrd.XL_CELL_ERROR:
        return xlrd.error_text_from_code.get(value, "#N/A")
    if kind == xlrd.XL_CELL_DATE:
        try:
            y, m, d, hh, mm, ss = xlrd.xldate_as_tuple(value, book.datemode)
        except xlrd.XLDateError:
            return None
        if y == 0:
            return "%02d:%02d:%02d" % (hh, mm, ss)
        text = "%04d-%02d-%02d" % (y, m, d)
        return text + (" %02d:%02d:%02d" % (hh, mm, ss) if (hh, mm, ss) != (0, 0, 0) else "")
    if value != value or value in (float("inf"), float("-inf")):
        return "#NUM!"
    if value == int(value) and abs(value) < 1e21:
        return "%d" % value
    return repr(value)


def escaped(text):
    return (text.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n")
            .replace("\r", "\\r"))


def python_shortest(text):
    # repr() writes 1.5e-07 as Python does and C++'s shortest form agrees, but both may
    # spell an exponent differently: compare numbers as numbers.
    try:
        return float(text)
    except ValueError:
        return text


def compare(tool, path):
    try:
        with open(os.devnull, "w") as quiet:
            book = xlrd.open_workbook(path, on_demand=True, logfile=quiet)
            sheet = book.sheet_by_index(0)
    except Exception:
        return 0, None  # xlrd cannot read it either
    if book.biff_version < 50:
        return 0, None  # BIFF2 to BIFF4: not read by design
    run = subprocess.run([tool, path], capture_output=True)
    if run.returncode != 0:
        return 1, "xlsdump refused a file xlrd reads: " + run.stderr.decode(errors="replace")
    lines = run.stdout.decode("utf-8").split("\n")[3:]
    for r in range(sheet.nrows):
        ours = lines[r].split("\t") if r < len(lines) else []
        for c in range(sheet.ncols):
            want = expected_text(sheet.cell(r, c), book)
            got = ours[c] if c < len(ours) else ""
            if want is None:
                continue
            want = escaped(want)
            if want != got and python_shortest(want) != python_shortest(got):
                return 1, "row %d, column %d: xlrd %r, xlsdump %r" % (r + 1, c + 1, want, got)
    return 0, None


def main():
    tool = sys.argv[1]
    files = []
    for arg in sys.argv[2:]:
        if os.path.isdir(arg):
            files += sorted(os.path.join(arg, f) for f in os.listdir(arg) if f.endswith(".xls"))
        elif os.path.exists(arg):
            files.append(arg)
    if not files:
        print("no workbooks to compare; skipping")
        sys.exit(77)
    failures = 0
    for path in files:
        failed, why = compare(tool, path)
        if failed:
            failures += 1
            print("%s: %s" % (os.path.basename(path), why))
    print("%d workbooks compared, %d differ" % (len(files), failures))
    sys.exit(1 if failures else 0)


main()
