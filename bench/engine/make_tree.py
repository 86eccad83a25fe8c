"""Writes the benchmark's synthetic tree: FILES files, at least MIN_BYTES in
all, across nested directories, a third each incompressible, highly
compressible and half compressible. Usage: make_tree.py DIR"""
import os
import random
import sys

FILES = 2000
MIN_BYTES = 320 * 1000 * 1000


def sizes(rng):
    raw = [rng.lognormvariate(11.0, 1.3) for _ in range(FILES)]
    scale = MIN_BYTES / sum(raw)
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
    rng = random.Random(20240601)
    total = 0
    for i, size in enumerate(sizes(rng)):
        depth = i % 4
        parts = ["d%02d" % (i % 10)] + ["s%d" % ((i // 10 + k) % 5) for k in range(depth)]
        directory = os.path.join(root, *parts)
        os.makedirs(directory, exist_ok=True)
        with open(os.path.join(directory, "f%04d.cfg" % i), "wb") as out:
            out.write(content(rng, i % 3, size))
        total += size
    print("tree: %d files, %d bytes" % (FILES, total))


main()
