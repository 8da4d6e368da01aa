#!/usr/bin/env python3
"""Packs files into one for the page to fetch in a single request.

Each file in turn: its name in UTF-8, a zero byte, its size as 4 bytes
little-endian, its bytes (readPack in runtime/platform/web/web_logic.cpp
reads this back).

usage: pack_files.py OUTPUT FILE [FILE ...]
"""
import pathlib
import struct
import sys


def main():
    out = pathlib.Path(sys.argv[1])
    data = bytearray()
    for name in sys.argv[2:]:
        path = pathlib.Path(name)
        body = path.read_bytes()
        data += path.name.encode("utf-8") + b"\0" + struct.pack("<I", len(body)) + body
    out.write_bytes(bytes(data))


if __name__ == "__main__":
    main()
