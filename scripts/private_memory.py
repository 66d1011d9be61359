#!/usr/bin/env python3
"""What a running process holds privately, from /proc/PID/smaps: scripts/private_memory.py NAME PID...

Private memory is the resident pages no other process shares (Private_Clean + Private_Dirty) plus
swapped ones. Each process gets its total and the mappings that hold most, grouped by file
(the program, each DLL and Unix library) or by kind of anonymous memory."""
import collections
import os
import sys


def private_by_mapping(pid):
    groups = collections.Counter()
    name = None
    with open(f'/proc/{pid}/smaps') as smaps:
        for line in smaps:
            fields = line.split()
            if '-' in fields[0] and len(fields) >= 5 and ':' in fields[3]:
                path = fields[5] if len(fields) > 5 else ''
                name = os.path.basename(path) if path.startswith('/') else (path or '[anonymous]')
            elif fields[0] in ('Private_Clean:', 'Private_Dirty:', 'Swap:'):
                groups[name] += int(fields[1])
    return groups


def main(args):
    for label, pid in zip(args[::2], args[1::2]):
        groups = private_by_mapping(pid)
        total = sum(groups.values())
        print(f'{label}: {total / 1024:.1f} MB private (resident and swapped), largest holders:')
        for name, kb in groups.most_common(8):
            print(f'  {kb / 1024:6.2f} MB  {name}')
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
