#!/usr/bin/env python3
"""What a running process holds privately, from /proc/PID/smaps: scripts/private_memory.py [--map FILE] NAME PID...

Private memory is the resident pages no other process shares (Private_Clean + Private_Dirty) plus
swapped ones. Each process gets its total and the mappings that hold most, grouped by file
(the program, each DLL and Unix library) or by kind of anonymous memory. With --map, the output of
bench/tray/memory_map.exe for the first process names its anonymous memory as Windows sees it
(each image, each thread's stack, the heaps, the report reserve); RssAnon is given beside, the
figure the system reports to Windows programs as private bytes under Wine."""
import collections
import os
import sys


def mappings(pid):
    """(start, end, name, private KB) per mapping."""
    rows = []
    with open(f'/proc/{pid}/smaps') as smaps:
        for line in smaps:
            fields = line.split()
            if '-' in fields[0] and len(fields) >= 5 and ':' in fields[3]:
                start, end = (int(x, 16) for x in fields[0].split('-'))
                path = fields[5] if len(fields) > 5 else ''
                name = os.path.basename(path) if path.startswith('/') else (path or '[anonymous]')
                rows.append([start, end, name, 0])
            elif fields[0] in ('Private_Clean:', 'Private_Dirty:', 'Swap:'):
                rows[-1][3] += int(fields[1])
    return rows


def rss_anon(pid):
    with open(f'/proc/{pid}/status') as status:
        for line in status:
            if line.startswith('RssAnon:'):
                return int(line.split()[1])
    return 0


def read_map(path):
    """(start, end, label) per allocation, from memory_map.exe."""
    allocations = []
    with open(path, errors='replace') as listing:
        for line in listing:
            fields = line.split(None, 3)
            if len(fields) < 3:
                continue
            label = fields[2] + (' ' + fields[3].strip() if len(fields) > 3 and fields[3].strip() else '')
            if fields[2] == 'stack':
                label = 'thread stacks'
            allocations.append((int(fields[0], 16), int(fields[1], 16), label))
    return allocations


def group(rows):
    groups = collections.Counter()
    for _, _, name, kb in rows:
        groups[name] += kb
    return groups


def group_by_allocation(pid, rows, allocations):
    """Page by page (the host merges neighbouring mappings of the same kind into one): a page counts
    when it is resident and mapped by this process alone, or swapped."""
    groups = collections.Counter()
    anonymous = collections.Counter()
    allocations = sorted(allocations)
    page = os.sysconf('SC_PAGE_SIZE')
    with open(f'/proc/{pid}/pagemap', 'rb') as pagemap:
        for start, end, name, kb in rows:
            if kb == 0:
                continue
            pagemap.seek(start // page * 8)
            entries = pagemap.read((end - start) // page * 8)
            for i in range(len(entries) // 8):
                entry = int.from_bytes(entries[i * 8:i * 8 + 8], 'little')
                present, swapped, exclusive = entry >> 63 & 1, entry >> 62 & 1, entry >> 56 & 1
                file_page = entry >> 61 & 1
                if not (swapped or present and exclusive):
                    continue
                address = start + i * page
                if name.startswith('['):
                    label = '[anonymous, unknown to Windows]' if name == '[anonymous]' else f'{name} (Unix)'
                else:
                    label = f'{name} (file)'
                if name == '[anonymous]':
                    for a_start, a_end, a_label in allocations:
                        if a_start <= address < a_end:
                            # Wine keeps its own reservations (tens of MB) as private allocations.
                            label = a_label if a_end - a_start < (32 << 20) or a_label != 'private' \
                                else '[Wine\'s reserved areas]'
                            break
                groups[label] += page // 1024
                if swapped or not file_page:
                    anonymous[label] += page // 1024
    return groups, anonymous


def main(args):
    allocations = []
    if args[:1] == ['--map']:
        allocations = read_map(args[1])
        args = args[2:]
    first = True
    for label, pid in zip(args[::2], args[1::2]):
        rows = mappings(pid)
        anonymous = None
        if first and allocations:
            groups, anonymous = group_by_allocation(pid, rows, allocations)
        else:
            groups = group(rows)
        first = False
        total = sum(groups.values())
        print(f'{label}: {total / 1024:.1f} MB private (resident and swapped; RssAnon {rss_anon(pid) / 1024:.1f} MB), '
              'largest holders' + (' (private MB, of them anonymous MB):' if anonymous is not None else ':'))
        for name, kb in groups.most_common(16 if anonymous is not None else 8):
            extra = f' {anonymous[name] / 1024:6.2f}' if anonymous is not None else ''
            print(f'  {kb / 1024:6.2f}{extra} MB  {name}')
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
