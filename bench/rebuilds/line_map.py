#!/usr/bin/python3
"""line_map.py A.lines ROOT_A B.lines ROOT_B: which source lines of release A
are unchanged in release B, and where they are there: a diff of the two
releases' copies of each file named in A's line table (line_table.py),
comments, white space and blank lines aside.

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
import tempfile


def paths(lines_file):
    with open(lines_file) as f:
        return [line.split(' ', 2)[2].rstrip('\n') for line in f if line.startswith('F ')]


def code_lines(path, out):
    """The file's lines with their comments and white space taken out, blank
    ones left out, into `out`, one a line; returns each one's line number in
    the file. A line whose comment or indentation changed is the same code,
    and lines that hold no code (blank, comments) cannot pair off with each
    other in place of code. Braces stay: a routine's opening brace often
    holds its first instructions."""
    with open(path, encoding='latin-1') as f:
        text = f.read()
    token = re.compile(r'/\*.*?\*/|//[^\n]*|"(?:\\.|[^"\\\n])*"|\'(?:\\.|[^\'\\\n])*\'|\s+', re.S)

    def keep(m):
        t = m.group(0)
        if t.startswith('/*') or t.startswith('//') or t[0].isspace():
            return '\n' * t.count('\n')  # the line breaks only
        return t
    numbers, kept = [], []
    for number, line in enumerate(token.sub(keep, text).split('\n'), 1):
        if line:
            numbers.append(number)
            kept.append(line)
    with open(out, 'w', encoding='latin-1') as f:
        f.write('\n'.join(kept) + '\n')
    return numbers


def unchanged_runs(a, b):
    """(a_line, b_line, count) for the lines whose code `diff` keeps, 1-based."""
    with tempfile.TemporaryDirectory() as work:
        code_a, code_b = os.path.join(work, 'a'), os.path.join(work, 'b')
        numbers_a, numbers_b = code_lines(a, code_a), code_lines(b, code_b)
        runs = []
        for x, y, n in diff_runs(code_a, code_b):
            for i in range(n):
                la, lb = numbers_a[x - 1 + i], numbers_b[y - 1 + i]
                last = runs[-1] if runs else None
                if last and last[0] + last[2] == la and last[1] + last[2] == lb:
                    last[2] += 1
                else:
                    runs.append([la, lb, 1])
        return runs


def diff_runs(a, b):
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
