"""Writes the benchmark's synthetic tree: FILES files, at least MIN_BYTES in
all, across nested directories, a third each incompressible, highly
compressible and half compressible. Usage: make_tree.py DIR [MEGABYTES [FILES]]
MEGABYTES (default 320) scales the file count with the size, so trees of
different sizes have the same mix and the same distribution of file sizes;
FILES sets the count instead (50 MB in 50,000 files: many small entries)."""
import os
import random
import sys

FILES = 2000
MIN_BYTES = 320 * 1000 * 1000


def sizes(rng, files, min_bytes):
    raw = [rng.lognormvariate(11.0, 1.3) for _ in range(files)]
    scale = min_bytes / sum(raw)
    return [max(64, int(r * scale) + 1) for r in raw]


def content(rng, kind, size):
    if kind == 0:
        return rng.randbytes(size)
    if kind == 1:
        lines = []
        total = 0
        n = 0
        while total < size:
            line = "option.%d = value %d ; template setting\n" % (n % 97, n)
            lines.append(line)
            total += len(line)
            n += 1
        return "".join(lines).encode()[:size]
    return rng.randbytes((size + 1) // 2).hex().encode()[:size]


def main():
    root = sys.argv[1]
    megabytes = float(sys.argv[2]) if len(sys.argv) > 2 else MIN_BYTES / 1e6
    files = max(1, round(FILES * megabytes * 1e6 / MIN_BYTES))
    if len(sys.argv) > 3:
        files = int(sys.argv[3])
    rng = random.Random(20240601)
    total = 0
    for i, size in enumerate(sizes(rng, files, megabytes * 1e6)):
        depth = i % 4
        parts = ["d%02d" % (i % 10)] + ["s%d" % ((i // 10 + k) % 5) for k in range(depth)]
        directory = os.path.join(root, *parts)
        os.makedirs(directory, exist_ok=True)
        with open(os.path.join(directory, "f%04d.cfg" % i), "wb") as out:
            out.write(content(rng, i % 3, size))
        total += size
    print("tree: %d files, %d bytes" % (files, total))


main()
