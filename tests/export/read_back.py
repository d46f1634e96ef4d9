"""Reads an export file back with programs written by others and prints it as JSON.

csv PATH DELIMITER QUOTE   -- Python's csv module; an empty QUOTE reads without quoting
xlsx PATH full|summary     -- openpyxl; summary gives each sheet's row count, first and last row
mdb PATH TABLE             -- mdb-export's CSV, read by the csv module
"""
import csv
import datetime
import io
import json
import subprocess
import sys

from openpyxl.utils.escape import unescape


def cell(c):
    v = c.value
    if v is None:
        return None
    if isinstance(v, datetime.datetime):
        return "D:" + v.isoformat(sep=" ") + "|" + str(c.number_format)
    if isinstance(v, str):
        # A workbook keeps characters XML cannot hold (CR, control characters) as _xHHHH_;
        # Excel decodes them on reading, openpyxl leaves that to its own unescape().
        return unescape(v)
    return "N:" + repr(v)


def main():
    kind, path = sys.argv[1], sys.argv[2]
    if kind == "csv":
        delimiter, quote = sys.argv[3], sys.argv[4]
        with open(path, newline="", encoding="utf-8-sig") as f:
            if quote:
                rows = list(csv.reader(f, delimiter=delimiter, quotechar=quote, doublequote=True, strict=True))
            else:
                rows = list(csv.reader(f, delimiter=delimiter, quoting=csv.QUOTE_NONE))
        print(json.dumps({"rows": rows}))
    elif kind == "xlsx":
        import openpyxl

        workbook = openpyxl.load_workbook(path, read_only=True)
        sheets = []
        for sheet in workbook.worksheets:
            rows = [[cell(c) for c in row] for row in sheet.iter_rows()]
            entry = {"name": sheet.title, "count": len(rows)}
            if sys.argv[3] == "full":
                entry["rows"] = rows
            else:
                entry["rows"] = rows[:2] + rows[-1:] if rows else []
            sheets.append(entry)
        print(json.dumps({"sheets": sheets}))
    elif kind == "mdb":
        out = subprocess.run(["mdb-export", path, sys.argv[3]], capture_output=True, check=True, timeout=120)
        rows = list(csv.reader(io.StringIO(out.stdout.decode("utf-8"), newline=""), strict=True))
        print(json.dumps({"rows": rows}))
    else:
        sys.exit("unknown kind " + kind)


main()
