#!/usr/bin/env python3
"""Lists every skipped test case of ctest runs with its reason: scripts/skips.py BUILD_DIR...

ctest counts a GoogleTest skip (and a disabled case) as a pass; the cases and their reasons are
in each build's Testing/Temporary/LastTest.log."""
import re
import sys
from pathlib import Path

START = re.compile(r'^\d+/\d+ Testing: (\S+)')
REASON_START = re.compile(r':\d+: Skipped$')
SKIPPED = re.compile(r'^\[  SKIPPED \] (\S+) \(\d+ ms\)')
DISABLED = re.compile(r'YOU HAVE (\d+) DISABLED TESTS?')


def skips_of(log: Path):
    test, reason, collecting = None, [], False
    for line in log.read_text(errors='replace').splitlines():
        if m := START.match(line):
            test, reason, collecting = m.group(1), [], False
        elif REASON_START.search(line):
            reason, collecting = [], True
        elif m := SKIPPED.match(line):
            yield test, m.group(1), ' '.join(reason).strip() or 'no reason given'
            reason, collecting = [], False
        elif m := DISABLED.search(line):
            yield test, f'{m.group(1)} DISABLED_ case(s)', 'disabled in the source'
        elif collecting and line.strip() and not line.startswith('['):
            reason.append(line.strip())


def main(dirs):
    found = []
    for d in dirs:
        log = Path(d) / 'Testing' / 'Temporary' / 'LastTest.log'
        if log.exists():
            found += [(d, *s) for s in skips_of(log)]
    for d, test, case, reason in found:
        print(f'skipped: {case} ({test}, {d}): {reason}')
    print(f'{len(found)} test case(s) skipped')
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
