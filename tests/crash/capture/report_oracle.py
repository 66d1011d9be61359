#!/usr/bin/python3
# Reads back what a report sent, for the Windows tests (started under Wine as a Unix program):
#   untar ARCHIVE OUTDIR  every member of the gzip-compressed tar into OUTDIR under its name, and
#                         OUTDIR/members.txt with one "name size" line per member in archive order
#   xml FILE OUTDIR       OUTDIR/steps.txt: the text of HoToReproduce/Text, the file parsed as XML
# Either ends by creating OUTDIR/done (or OUTDIR/failed with the error), so the caller can wait.
import os
import sys
import tarfile
import traceback
import xml.etree.ElementTree as ET


def untar(archive, out):
    lines = []
    with tarfile.open(archive, 'r:gz') as tar:
        for member in tar:
            data = tar.extractfile(member).read()
            with open(os.path.join(out, os.path.basename(member.name)), 'wb') as f:
                f.write(data)
            lines.append('%s %d\n' % (member.name, member.size))
    with open(os.path.join(out, 'members.txt'), 'w') as f:
        f.writelines(lines)


def steps(path, out):
    root = ET.parse(path).getroot()
    node = root.find('.//HoToReproduce/Text')
    with open(os.path.join(out, 'steps.txt'), 'wb') as f:
        f.write((node.text or '').encode('cp1251') if node is not None else b'<none>')


def main():
    command, source, out = sys.argv[1:4]
    try:
        {'untar': untar, 'xml': steps}[command](source, out)
        marker = 'done'
        text = ''
    except Exception:
        marker = 'failed'
        text = traceback.format_exc()
    with open(os.path.join(out, marker + '.tmp'), 'w') as f:
        f.write(text)
    os.rename(os.path.join(out, marker + '.tmp'), os.path.join(out, marker))


main()
