"""Reads the x64dbg database that the test program exported with Python's json
module and compares it with the JSON the test program wrote by hand beside
it: the same keys, the same entries in the same order, the same values and
types (addresses are text)."""
import json
import sys

database_path, expected_path = sys.argv[1], sys.argv[2]
with open(database_path, encoding="utf-8") as f:
    database = json.load(f)
with open(expected_path, encoding="ascii") as f:
    expected = json.load(f)
if database != expected:
    for key in sorted(set(database) | set(expected)):
        got, want = database.get(key), expected.get(key)
        if got != want:
            print(f"{key}: read {json.dumps(got, ensure_ascii=False)}")
            print(f"{' ' * len(key)}  expected {json.dumps(want, ensure_ascii=False)}")
    sys.exit(1)
print(", ".join(f"{len(entries)} {key}" for key, entries in database.items()), "read back as expected")
