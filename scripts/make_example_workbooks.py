#!/usr/bin/python3
"""Writes examples/inventory.xlsx and examples/inventory.ods from examples/inventory.csv.

Usage: scripts/make_example_workbooks.py [CSV] [OUT_FOLDER]

Each cell is typed as a person typing the CSV's text into a spreadsheet would get it, but only
where the register reads the cell back to the very same text, so that its output on either
workbook equals its output on the CSV byte for byte: a whole number or a decimal written as
Python's shortest text of the float is a number cell; a yyyy-mm-dd date is a date cell (shown
as yyyy-mm-dd); an empty field is no cell; anything else (05/11/2009, 11/23/26, "1.10") is a
text cell. The .xlsx file is written by openpyxl, the .ods file by odfpy (Debian's
python3-openpyxl and python3-odf); the archives are then rewritten with fixed times and
metadata so that running the script again gives the same bytes.
"""
import csv
import datetime
import pathlib
import re
import sys
import zipfile

import openpyxl
from odf.opendocument import OpenDocumentSpreadsheet
from odf.table import Table, TableCell, TableRow
from odf.text import P

SHEET = "Inventory"
FIXED_TIME = datetime.datetime(2026, 1, 1)
ISO_DATE = re.compile(r"\d{4}-\d{2}-\d{2}")
WHOLE_NUMBER = re.compile(r"-?(0|[1-9]\d{0,14})")


def cell_value(text):
    """The value a cell holds for the text: None, int, float, datetime.date or the text."""
    if text == "":
        return None
    if WHOLE_NUMBER.fullmatch(text):
        return int(text)
    try:
        number = float(text)
        if repr(number) == text:
            return number
    except ValueError:
        pass
    if ISO_DATE.fullmatch(text):
        try:
            return datetime.date.fromisoformat(text)
        except ValueError:
            pass
    return text


def write_xlsx(rows, path):
    workbook = openpyxl.Workbook()
    sheet = workbook.active
    sheet.title = SHEET
    for row in rows:
        sheet.append([cell_value(text) for text in row])
    for row in sheet.iter_rows():
        for cell in row:
            if isinstance(cell.value, datetime.date):
                cell.number_format = "yyyy-mm-dd"
    workbook.properties.creator = "Dovrin Calculator examples"
    workbook.properties.created = FIXED_TIME
    workbook.properties.modified = FIXED_TIME
    workbook.save(path)


def write_ods(rows, path):
    document = OpenDocumentSpreadsheet()
    table = Table(name=SHEET)
    for row in rows:
        table_row = TableRow()
        for text in row:
            value = cell_value(text)
            if value is None:
                cell = TableCell()
            elif isinstance(value, (int, float)):
                cell = TableCell(valuetype="float", value=text)
            elif isinstance(value, datetime.date):
                cell = TableCell(valuetype="date", datevalue=text)
            else:
                cell = TableCell(valuetype="string")
            if value is not None:
                cell.addElement(P(text=text))
            table_row.addElement(cell)
        table.addElement(table_row)
    document.spreadsheet.addElement(table)
    document.save(str(path))


def make_reproducible(path):
    """Rewrites the archive with fixed entry times and without the time it was written."""
    with zipfile.ZipFile(path) as archive:
        entries = [(info, archive.read(info.filename)) for info in archive.infolist()]
    with zipfile.ZipFile(path, "w") as archive:
        for info, data in entries:
            if info.filename == "meta.xml":
                data = re.sub(rb"<meta:creation-date>[^<]*</meta:creation-date>", b"", data)
                data = re.sub(rb"<dc:date>[^<]*</dc:date>", b"", data)
            fixed = zipfile.ZipInfo(info.filename, date_time=FIXED_TIME.timetuple()[:6])
            fixed.compress_type = info.compress_type
            fixed.external_attr = info.external_attr
            archive.writestr(fixed, data)


def main():
    source = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "examples/inventory.csv")
    folder = pathlib.Path(sys.argv[2] if len(sys.argv) > 2 else source.parent)
    with open(source, newline="", encoding="utf-8") as file:
        text = file.read()
    # The separator the register would take: the one most frequent on any one line.
    separator = max(",;\t", key=lambda s: max(line.count(s) for line in text.splitlines()))
    rows = list(csv.reader(text.splitlines(), delimiter=separator))
    for suffix, write in ((".xlsx", write_xlsx), (".ods", write_ods)):
        path = folder / (source.stem + suffix)
        write(rows, path)
        make_reproducible(path)
        print(f"wrote {path}")


if __name__ == "__main__":
    main()
