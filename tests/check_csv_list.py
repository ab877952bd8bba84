"""Reads the CSV bookmark list that the test program exported with Python's csv
module and compares every row with the fields the test program expected
(bookmark-list.expected: one line per row, fields as hex-encoded UTF-8)."""
import csv
import sys

csv_path, expected_path = sys.argv[1], sys.argv[2]
with open(csv_path, newline="", encoding="utf-8") as f:
    rows = list(csv.reader(f, strict=True))
with open(expected_path, encoding="ascii") as f:
    expected = [[bytes.fromhex(field).decode("utf-8") for field in line.split(",")] for line in f.read().splitlines()]
if rows != expected:
    for number, (got, want) in enumerate(zip(rows, expected), 1):
        if got != want:
            print(f"row {number}: read {got!r}, expected {want!r}")
    print(f"{len(rows)} rows read, {len(expected)} expected")
    sys.exit(1)
print(f"{len(rows)} rows read back as written")
