#!/usr/bin/python3
"""line_map.py A.lines ROOT_A B.lines ROOT_B: which source lines of release A
are unchanged in release B, and where they are there: a diff of the two
releases' copies of each file named in A's line table (line_table.py).

Prints "S PATH" for a file that is the same in both builds (the compiler's
headers and run-time, which are not under the roots, are taken as the same),
and "M PATH A_LINE B_LINE COUNT" for each run of COUNT lines that the diff
keeps unchanged (A_LINE.. in A is B_LINE.. in B). A file under only one
root, or lines not in a run, have no counterpart: their code changed or
went."""
import os
import re
import subprocess
import sys


def paths(lines_file):
    with open(lines_file) as f:
        return [line.split(' ', 2)[2].rstrip('\n') for line in f if line.startswith('F ')]


def unchanged_runs(a, b):
    """(a_line, b_line, count) for the lines that `diff` keeps, 1-based."""
    out = subprocess.run(['diff', '-d', a, b], capture_output=True, text=True, errors='replace')
    if out.returncode > 1:
        raise SystemExit(f'line_map: diff failed on {a}: {out.stderr}')
    with open(a, 'rb') as f:
        total_a = len(f.read().splitlines())
    runs, x, y = [], 1, 1  # next line of A and B not yet accounted for
    for hunk in re.finditer(r'^(\d+)(?:,(\d+))?([acd])(\d+)(?:,(\d+))?$', out.stdout, re.M):
        a1, a2, kind, b1, b2 = hunk.groups()
        a1, b1 = int(a1), int(b1)
        a2 = int(a2) if a2 else a1
        b2 = int(b2) if b2 else b1
        first_a = a1 + 1 if kind == 'a' else a1  # 'a': after line a1 of A
        if first_a > x:
            runs.append((x, y, first_a - x))
        if kind == 'a':
            x, y = a1 + 1, b2 + 1
        elif kind == 'd':
            x, y = a2 + 1, b1 + 1
        else:
            x, y = a2 + 1, b2 + 1
    if total_a >= x:
        runs.append((x, y, total_a - x + 1))
    return runs


def main():
    lines_a, root_a, lines_b, root_b = sys.argv[1:5]
    in_b = set(paths(lines_b))
    for path in paths(lines_a):
        a, b = os.path.join(root_a, path), os.path.join(root_b, path)
        if os.path.isabs(path) or not (os.path.exists(a) or os.path.exists(b)):
            if path in in_b:
                print(f'S {path}')
        elif os.path.exists(a) and os.path.exists(b):
            for x, y, n in unchanged_runs(a, b):
                print(f'M {path} {x} {y} {n}')


if __name__ == '__main__':
    main()
