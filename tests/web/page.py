#!/usr/bin/env python3
"""Reads what the game's page left in a DOM dump (chromium --dump-dom).

  page.py DUMP log        the lines of the element with id "log"
  page.py DUMP title      the page title
  page.py DUMP messages   the texts of the page's message boxes
  page.py DUMP stats      the element with id "stats"
  page.py DUMP failed-copies
                          how many copies to IndexedDB a script run before
                          the page's made fail (data-failed-copies), 0 if none
  page.py DUMP recording RVR
                          writes the recording a run with ?record=FILE
                          left in the page to RVR
  page.py DUMP stage-recording RVR
                          the same for the stage's run (?record-stage=FILE)
  page.py DUMP caches     the names of the caches the page's origin kept
                          (data-caches, written by open-page.js --offline)
  page.py DUMP snapshot PNG
                          writes the snapshot image (the canvas's last
                          frame) to PNG
  page.py PNG lit X0 Y0 X1 Y1 [white|colour]
                          prints how many pixels of the box (fractions of
                          the width and height) are lit: brighter than 96 in
                          any channel; "white" counts only near-grey ones
                          (text), "colour" only clearly coloured ones
"""
import base64
import html
import re
import struct
import sys
import zlib


def element(dump, pattern):
    match = re.search(pattern, dump, re.S)
    return html.unescape(match.group(1)) if match else ""


def read_png(path):
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise SystemExit(f"{path} is no PNG")
    pos, chunks, header = 8, [], None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            chunks.append(body)
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace:
        raise SystemExit(f"{path}: only 8-bit RGB(A) PNGs without interlace")
    step = 4 if colour == 6 else 3
    raw = zlib.decompress(b"".join(chunks))
    stride = width * step
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            a = line[x - step] if x >= step else 0
            b = previous[x]
            c = previous[x - step] if x >= step else 0
            if kind == 1:
                line[x] = (line[x] + a) & 255
            elif kind == 2:
                line[x] = (line[x] + b) & 255
            elif kind == 3:
                line[x] = (line[x] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(line)
        previous = line
    return width, height, step, rows


def main(args):
    if len(args) >= 2 and args[1] == "lit":
        width, height, step, rows = read_png(args[0])
        x0, y0, x1, y1 = (float(v) for v in args[2:6])
        kind = args[6] if len(args) > 6 else ""
        lit = 0
        for y in range(int(y0 * height), int(y1 * height)):
            row = rows[y]
            for x in range(int(x0 * width), int(x1 * width)):
                pixel = row[x * step:x * step + 3]
                if max(pixel) <= 96:
                    continue
                spread = max(pixel) - min(pixel)
                if kind == "white" and spread > 48 or kind == "colour" and spread <= 96:
                    continue
                lit += 1
        print(lit)
        return
    dump = open(args[0], encoding="utf-8").read()
    what = args[1]
    if what == "log":
        print(element(dump, r'<pre id="log">(.*?)</pre>'))
    elif what == "stats":
        print(element(dump, r'<pre id="stats">(.*?)</pre>'))
    elif what == "caches":
        print(element(dump, r'<html[^>]*\sdata-caches="([^"]*)"'))
    elif what == "failed-copies":
        print(element(dump, r'<html[^>]*\sdata-failed-copies="([0-9]+)"') or 0)
    elif what == "title":
        print(element(dump, r"<title>(.*?)</title>"))
    elif what == "messages":
        print(re.sub(r"<[^>]+>", " ", element(dump, r'<div id="messages">(.*?)</div>\s*<button')).strip())
    elif what in ("recording", "stage-recording"):
        source = element(dump, r'<pre id="' + what + r'">([^<]*)</pre>')
        if not source:
            raise SystemExit("the page left no recording")
        open(args[2], "wb").write(base64.b64decode(source))
    elif what == "snapshot":
        source = element(dump, r'<img id="snapshot"[^>]*src="data:image/png;base64,([^"]*)"')
        if not source:
            raise SystemExit("the page left no snapshot")
        open(args[2], "wb").write(base64.b64decode(source))
    else:
        raise SystemExit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
