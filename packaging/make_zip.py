#!/usr/bin/env python3
"""Writes a zip whose bytes depend only on its members' contents.

    make_zip.py OUT.zip NAME=PATH...    members in the order given
    make_zip.py --crlf OUT PATH         a copy of a text file with CRLF lines

Every member carries the time of SOURCE_DATE_EPOCH (the last commit's), the
same owner-free attributes and the same compression; text members (.txt) get
Windows line ends, so that Notepad on any Windows shows them as lines.
"""
import os
import sys
import time
import zipfile

# The zip format counts from 1980; an earlier commit time is brought up to it.
ZIP_EPOCH = (1980, 1, 1, 0, 0, 0)


def crlf(data):
    return data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")


def member_time():
    epoch = int(os.environ["SOURCE_DATE_EPOCH"])
    return max(ZIP_EPOCH, time.gmtime(epoch)[:6])


def main(argv):
    if len(argv) == 3 and argv[0] == "--crlf":
        with open(argv[2], "rb") as source, open(argv[1], "wb") as target:
            target.write(crlf(source.read()))
        return 0
    if len(argv) < 2 or any("=" not in a for a in argv[1:]):
        print(__doc__, file=sys.stderr)
        return 2
    stamp = member_time()
    with zipfile.ZipFile(argv[0], "w") as archive:
        for entry in argv[1:]:
            name, path = entry.split("=", 1)
            with open(path, "rb") as f:
                data = f.read()
            if name.endswith(".txt"):
                data = crlf(data)
            info = zipfile.ZipInfo(name, date_time=stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0  # MS-DOS: no Unix owner or mode stored
            info.external_attr = 0x20  # the archive attribute, as Windows sets it
            archive.writestr(info, data, compress_type=zipfile.ZIP_DEFLATED, compresslevel=9)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
