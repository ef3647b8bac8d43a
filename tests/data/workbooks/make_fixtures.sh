#!/usr/bin/env bash
# Rebuilds the workbook fixtures of the reader tests from cells.fods.in: LibreOffice
# writes .xls and .xlsx (in the 1900 and the 1904 date system), gnumeric converts
# LibreOffice's .xlsx into its own .xls and .xlsx. Run by hand when the cells change,
# then commit the results; the tests only read them.
# Needs libreoffice-calc-nogui and gnumeric.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" # LibreOffice needs a profile folder it can write
mkdir -p "$HOME"

sed 's/@NULLDATE@//' "$here/cells.fods.in" > "$work/cells.fods"
sed 's|@NULLDATE@|<table:calculation-settings><table:null-date table:date-value="1904-01-01"/></table:calculation-settings>|' \
    "$here/cells.fods.in" > "$work/cells1904.fods"

cd "$work"
soffice --headless --convert-to xls:"MS Excel 97" cells.fods cells1904.fods >/dev/null
soffice --headless --convert-to xlsx:"Calc MS Excel 2007 XML" cells.fods cells1904.fods >/dev/null
cp cells.xls "$here/cells-libreoffice.xls"
cp cells.xlsx "$here/cells-libreoffice.xlsx"
cp cells1904.xls "$here/cells1904-libreoffice.xls"
cp cells1904.xlsx "$here/cells1904-libreoffice.xlsx"
ssconvert cells.xlsx "$here/cells-gnumeric.xls" 2>/dev/null
ssconvert cells.xlsx "$here/cells-gnumeric.xlsx" 2>/dev/null
echo "fixtures written to $here"
