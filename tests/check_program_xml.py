"""Reads the program XML that the test program exported with Python's lxml:
checks that it begins with the XML declaration and the program_dtd
instruction Ghidra needs, validates it against the program DTD
(tests/program.dtd), and compares its sections, attributes and texts with the
JSON the test program wrote by hand beside it."""
import json
import pathlib
import sys

from lxml import etree

xml_path, expected_path = sys.argv[1], sys.argv[2]
dtd = etree.DTD(str(pathlib.Path(__file__).resolve().parent / "program.dtd"))
problems = []
raw = pathlib.Path(xml_path).read_bytes()
head = b'<?xml version="1.0" encoding="UTF-8"?>\n<?program_dtd version="1"?>\n'
if not raw.startswith(head):
    problems.append(f"begins {raw[:len(head)]!r}")
tree = etree.fromstring(raw, etree.XMLParser(resolve_entities=False, no_network=True)).getroottree()
if not dtd.validate(tree):
    problems += [f"not valid: {error}" for error in dtd.error_log.filter_from_errors()]
root = tree.getroot()
read = {
    "program": dict(root.attrib),
    "sections": [child.tag for child in root],
    "processor": dict(root.find("PROCESSOR").attrib),
    "comments": [dict(c.attrib, text=c.text or "") for c in root.iter("COMMENT")],
    "bookmarks": [dict(b.attrib) for b in root.iter("BOOKMARK")],
    "symbols": [dict(s.attrib) for s in root.iter("SYMBOL")],
}
with open(expected_path, encoding="ascii") as f:
    expected = json.load(f)
for key in expected:
    if read[key] != expected[key]:
        problems.append(f"{key}: read {json.dumps(read[key], ensure_ascii=False)}\n"
                        f"{' ' * len(key)}  expected {json.dumps(expected[key], ensure_ascii=False)}")
for problem in problems:
    print(problem)
if problems:
    sys.exit(1)
print(", ".join(f"{len(read[k])} {k}" for k in ("comments", "bookmarks", "symbols")), "valid and read back as expected")
