"""The viewer page in headless Chromium: it renders a small frame, reports
what it drew through data attributes of <body>, picks a known element,
makes no network request, and quilm-view --png saves a picture that is not
blank.

Usage: browser_test.py --view QUILM_VIEW --frame-host FRAME_HOST --chromium CHROMIUM --work DIR
"""
import argparse
import json
import os
import re
import shutil
import sqlite3
import struct
import subprocess
import sys
import zlib

import numpy as np

QUIET = ["--headless", "--no-sandbox", "--use-angle=swiftshader", "--enable-unsafe-swiftshader", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync", "--mute-audio"]


def check(condition, message):
    if not condition:
        sys.exit("FAIL: " + message)


def body_state(chromium, page, fragment, work, netlog=None):
    """The data attributes of <body> once the page has drawn (virtual time lets it finish)."""
    args = [chromium, *QUIET, f"--user-data-dir={work}/profile", "--window-size=1000,700",
            "--virtual-time-budget=5000", "--proxy-server=http://127.0.0.1:9", "--dump-dom"]
    if netlog:
        args.insert(1, f"--log-net-log={netlog}")
    dom = subprocess.run(args + [f"file://{page}#{fragment}"], capture_output=True, text=True, timeout=240).stdout
    body = re.search(r"<body([^>]*)>", dom)
    check(body is not None, "the page has no body: " + dom[:200])
    return dict(re.findall(r'data-([a-z-]+)="([^"]*)"', body.group(1)))


def page_requests(netlog):
    """URLs the page itself asked for (requests whose top frame is the file), other than file: and data:."""
    log = json.load(open(netlog))
    start = log["constants"]["logEventTypes"]["URL_REQUEST_START_JOB"]
    return [e["params"]["url"] for e in log["events"]
            if e["type"] == start and "file://" in e["params"].get("network_isolation_key", "")
            and not e["params"]["url"].startswith(("file:", "data:"))]


def read_png(path):
    """RGB(A) pixels of an 8-bit PNG as an array (height, width, channels)."""
    data = open(path, "rb").read()
    check(data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG file")
    at, idat = 8, b""
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        chunk = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", chunk[:10])
        elif kind == b"IDAT":
            idat += chunk
        at += 12 + length
    check(depth == 8 and colour in (2, 6), "unexpected PNG format")
    channels = 4 if colour == 6 else 3
    raw = np.frombuffer(zlib.decompress(idat), dtype=np.uint8).reshape(height, 1 + width * channels)
    out = np.zeros((height, width * channels), dtype=np.int32)
    previous = np.zeros(width * channels, dtype=np.int32)
    for y in range(height):
        f, line = raw[y, 0], raw[y, 1:].astype(np.int32)
        if f == 0:
            row = line
        elif f == 2:
            row = (line + previous) & 255
        else:  # Sub, Average and Paeth depend on the pixel to the left: pixel by pixel
            row = np.zeros_like(line)
            for x in range(len(line)):
                a = row[x - channels] if x >= channels else 0
                b = previous[x]
                c = previous[x - channels] if x >= channels else 0
                if f == 1:
                    predictor = a
                elif f == 3:
                    predictor = (a + b) // 2
                else:
                    p = a + b - c
                    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                    predictor = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                row[x] = (line[x] + predictor) & 255
        out[y] = row
        previous = row
    return out.reshape(height, width, channels)[:, :, :3]


def main():
    parser = argparse.ArgumentParser()
    for option in ("--view", "--frame-host", "--chromium", "--work"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    model, page = os.path.join(args.work, "frame.qdb"), os.path.join(args.work, "frame.html")
    subprocess.run([args.frame_host, "--bays", "2", "--storeys", "1", "--quiet", "--file", model], check=True,
                   stdout=subprocess.DEVNULL)
    subprocess.run([args.view, model, "-o", page, "--colour", "section"], check=True)
    html = open(page, encoding="latin-1").read()
    check(not re.search(r"""(src|href)\s*=\s*["']?(https?:|//)""", html), "the page refers to a network resource")

    db = sqlite3.connect(f"file:{model}?mode=ro", uri=True)
    elements = db.execute("SELECT count(*) FROM elements").fetchone()[0]
    sections = sorted({s for (s,) in db.execute("SELECT section FROM elements")})
    shell = db.execute("SELECT min(id) FROM elements WHERE type = 24").fetchone()[0]
    position = {i: struct.unpack("<3d", p) for i, p in db.execute("SELECT id, position FROM nodes")}
    front = min(p[1] for p in position.values())
    # A column of the front row: vertical, both ends on the front face.
    column = max(e for e, a, b in db.execute("SELECT id, n0, n1 FROM elements WHERE type IN (15, 23)")
                 if position[a][1] == position[b][1] == front and position[a][:2] == position[b][:2])

    # Drawn, legend and a pick of a deck shell seen from above, with every
    # network request sent to a proxy that is not there, and logged.
    netlog = os.path.join(args.work, "net.json")
    state = body_state(args.chromium, page, f"view=plan&pick={shell}", args.work, netlog)
    check(state.get("state") == "ready", f"the page did not get ready: {state}")
    check(int(state["drawn-elements"]) == elements, f"drew {state['drawn-elements']} of {elements} elements")
    check(state.get("title") == "frame.qdb", f"caption {state.get('title')!r}")
    check((int(state["legend-min"]), int(state["legend-max"]), int(state["legend-entries"]))
          == (sections[0], sections[-1], len(sections)), f"section legend {state} for sections {sections}")
    check((state.get("picked-kind"), state.get("picked-id")) == ("element", str(shell)), f"pick of {shell}: {state}")
    requests = page_requests(netlog)
    check(not requests, f"the page made network requests: {requests}")

    # A column seen from the front, and a quantity legend with its range.
    state = body_state(args.chromium, page, f"view=front&colour=thickness&pick={column}", args.work)
    check((state.get("picked-kind"), state.get("picked-id")) == ("element", str(column)), f"pick of {column}: {state}")
    check(state.get("projection") == "orthographic", f"an elevation in perspective: {state}")
    thickness = [t for (t,) in db.execute("SELECT thickness FROM sections WHERE id IN (SELECT section FROM elements)") if t]
    values = [struct.unpack("<d", t)[0] for t in thickness]
    check(np.isclose(float(state["legend-min"]), min(values)) and np.isclose(float(state["legend-max"]), max(values))
          and state["legend-units"] == "m", f"thickness legend {state} for {values}")

    # The picture: mostly background, but the model covers a fair part of it in several colours.
    png = os.path.join(args.work, "frame.png")
    subprocess.run([args.view, model, "--png", png, "--view", "iso", "--colour", "section", "--size", "640x400"],
                   check=True, timeout=300)
    pixels = read_png(png)
    check(pixels.shape[:2] == (400, 640), f"picture size {pixels.shape}")
    background = np.array([244, 246, 248])
    drawn = np.abs(pixels[40:] - background).sum(axis=2) > 30  # below the tool bar
    colours = len(np.unique(pixels[40:][drawn].reshape(-1, 3), axis=0))
    check(0.05 < drawn.mean() < 0.9, f"{drawn.mean():.1%} of the picture differs from the background")
    check(colours > 20, f"only {colours} colours in the picture")
    print(f"ok: {elements} elements drawn, picks {shell} and {column}, picture {drawn.mean():.0%} model")


if __name__ == "__main__":
    main()
