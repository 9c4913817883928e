#!/usr/bin/env python3
"""The demo update site for scripts/run.sh: a generated asset set and a small server for it.

  demo_update.py make SITE_DIR [--host HOST] [--exe TARVEL_EXE]
      Writes a few folders of small files and images drawn here, the program file
      resources/app/shell/Tarvel.build.txt, and (with --exe) a newer copy of the shell
      as resources/app/shell/Tarvel.exe; then index.json, the file index the updater
      reads, valdrinshell.php, the index-URL document pointing at it, and rules.json, the
      content server's replacements for the browser's start address.

  demo_update.py serve SITE_DIR [--host HOST] [--port PORT] [--kbps N]
      Serves SITE_DIR over HTTP with HEAD and single byte ranges (resumed downloads),
      each response paced to N kilobytes per second when N > 0 so the progress shows.

The index holds one object per file: "path" is the file's full address, "hash" the MD5 of
its content in lowercase hexadecimal, "size" its length as decimal text. The updater maps
an address to a local path by dropping the scheme and host, so the host must be a plain
dotted name without a port: the server listens on port 80.
"""
import argparse
import functools
import hashlib
import http.server
import io
import json
import os
import random
import re
import shutil
import struct
import sys
import time
import zlib

DEFAULT_HOST = "127.0.0.2"


# ---- images ------------------------------------------------------------------

def png(width, height, pixel):
    """An RGB PNG whose pixel(x, y) gives (r, g, b)."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            rows.extend(pixel(x, y))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(rows), 9))
            + chunk(b"IEND", b""))


def gradient(x, y):
    return (x * 255 // 127, y * 255 // 127, 160)


def checker(x, y):
    return (230, 200, 40) if (x // 16 + y // 16) % 2 else (30, 60, 120)


def rings(x, y):
    d = int(((x - 64) ** 2 + (y - 64) ** 2) ** 0.5)
    return (40, 180, 90) if (d // 8) % 2 else (250, 250, 250)


def noise(seed, width, height):
    """Colour noise: it does not compress, so the file keeps its size and its download shows."""
    data = random.Random(seed).randbytes(width * height * 3)
    return png(width, height, lambda x, y: data[(y * width + x) * 3:(y * width + x) * 3 + 3])


# ---- the asset set -----------------------------------------------------------

def assets(exe):
    files = {
        "pictures/gradient.png": png(128, 128, gradient),
        "pictures/checker.png": png(128, 128, checker),
        "pictures/rings.png": png(128, 128, rings),
        "pictures/large/noise-1.png": noise(1, 400, 400),
        "pictures/large/noise-2.png": noise(2, 400, 400),
        "games/lobby/config.json": json.dumps({"title": "Demo lobby", "columns": 4, "rows": 2}, indent=2).encode(),
        "games/lobby/strings.txt": "welcome=Welcome to the demo hall\nplay=Play\n".encode(),
        "games/reels/symbols.txt": "".join(f"symbol {i}\n" for i in range(1, 13)).encode(),
        "resources/app/wemb/app.js": b"// the browser's demo page script\nconsole.log('demo');\n",
        "resources/app/shell/Tarvel.build.txt": b"Demo build of the shell's program files.\n",
    }
    if exe:
        with open(exe, "rb") as f:
            body = f.read()
        # Data after the image changes the checksum, not the program: the copy counts as newer.
        files["resources/app/shell/Tarvel.exe"] = body + b"\0tarvel demo update\0"
    return files


def make(site, host, exe):
    if os.path.isdir(site):
        shutil.rmtree(site)
    index = []
    for rel, body in sorted(assets(exe).items()):
        path = os.path.join(site, *rel.split("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(body)
        index.append({"path": f"http://{host}/{rel}", "hash": hashlib.md5(body).hexdigest(), "size": str(len(body))})
    with open(os.path.join(site, "index.json"), "w", encoding="utf-8") as f:
        json.dump(index, f, indent=1)
    with open(os.path.join(site, "valdrinshell.php"), "w", encoding="utf-8") as f:
        json.dump({"url": f"http://{host}/index.json"}, f)
    # The shell fetches this at every start from its content server, whose placeholder
    # host the set-up maps to this server; the demo's one rule shows it at work.
    with open(os.path.join(site, "rules.json"), "w", encoding="utf-8") as f:
        json.dump({"start.tarvel.example": f"{host}"}, f)
    total = sum(int(e["size"]) for e in index)
    print(f"demo site: {len(index)} files, {total} bytes, index http://{host}/index.json")


# ---- the server --------------------------------------------------------------

class Handler(http.server.SimpleHTTPRequestHandler):
    kbps = 0

    def send_head(self):
        path = self.translate_path(self.path)
        match = re.fullmatch(r"bytes=(\d*)-(\d*)", self.headers.get("Range", "").strip())
        if self.command != "GET" or not match or not os.path.isfile(path) or match.group(0) == "bytes=-":
            return super().send_head()
        size = os.path.getsize(path)
        first, last = match.groups()
        if first == "":
            first, last = max(0, size - int(last)), size - 1
        else:
            first, last = int(first), min(int(last) if last else size - 1, size - 1)
        if first >= size or last < first:
            self.send_response(416)
            self.send_header("Content-Range", f"bytes */{size}")
            self.send_header("Content-Length", "0")
            self.end_headers()
            return None
        with open(path, "rb") as f:
            f.seek(first)
            body = f.read(last - first + 1)
        self.send_response(206)
        self.send_header("Content-Type", self.guess_type(path))
        self.send_header("Content-Range", f"bytes {first}-{last}/{size}")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        return io.BytesIO(body)

    def copyfile(self, source, outputfile):
        if self.kbps <= 0:
            return super().copyfile(source, outputfile)
        block = 16 * 1024
        pause = block / (self.kbps * 1024.0)
        while True:
            data = source.read(block)
            if not data:
                return
            outputfile.write(data)
            time.sleep(pause)


def serve(site, host, port, kbps):
    Handler.kbps = kbps
    server = http.server.ThreadingHTTPServer((host, port), functools.partial(Handler, directory=site))
    print(f"demo update server on http://{host}:{port}/ serving {site}", flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    commands = parser.add_subparsers(dest="command", required=True)
    m = commands.add_parser("make", help="write the demo site")
    m.add_argument("site")
    m.add_argument("--host", default=DEFAULT_HOST)
    m.add_argument("--exe", help="a Tarvel.exe to publish as the newer shell")
    s = commands.add_parser("serve", help="serve the demo site")
    s.add_argument("site")
    s.add_argument("--host", default=DEFAULT_HOST)
    s.add_argument("--port", type=int, default=80)
    s.add_argument("--kbps", type=int, default=0, help="pace each response to this many KB/s (0: no pacing)")
    args = parser.parse_args()
    if args.command == "make":
        make(args.site, args.host, args.exe)
    else:
        serve(os.path.abspath(args.site), args.host, args.port, args.kbps)


if __name__ == "__main__":
    sys.exit(main())
