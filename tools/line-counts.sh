#!/usr/bin/env bash
# Prints the size of the code and of its tests: non-blank lines that are not
# only comment, in the tracked C++ sources (.cpp .h .hpp .cc). Lines under
# tests/ are test lines, all others code lines. Run from anywhere in a checkout.
set -euo pipefail
cd "$(git -C "$(dirname "$0")" rev-parse --show-toplevel)"
git ls-files -z -- '*.cpp' '*.h' '*.hpp' '*.cc' | python3 -c '
import sys

def counted_lines(text):
    """Lines that keep something besides comments and white space."""
    count = 0
    in_block = False
    for line in text.splitlines():
        kept = []
        i, quote = 0, None
        while i < len(line):
            c = line[i]
            if in_block:
                if line.startswith("*/", i):
                    in_block = False
                    i += 2
                else:
                    i += 1
                continue
            if quote:
                kept.append(c)
                if c == "\\":
                    kept.append(line[i + 1:i + 2])
                    i += 2
                    continue
                if c == quote:
                    quote = None
            elif line.startswith("//", i):
                break
            elif line.startswith("/*", i):
                in_block = True
                i += 2
                continue
            elif c in "\"\x27":
                quote = c
                kept.append(c)
            else:
                kept.append(c)
            i += 1
        if "".join(kept).strip():
            count += 1
    return count

code = tests = 0
for name in sys.stdin.buffer.read().decode().split("\0"):
    if not name:
        continue
    with open(name, encoding="utf-8", errors="replace") as f:
        n = counted_lines(f.read())
    if name.startswith("tests/"):
        tests += n
    else:
        code += n
print(f"code lines: {code}")
print(f"test lines: {tests}")
print(f"tests/code: {100.0 * tests / code:.1f}%" if code else "tests/code: -")
'
