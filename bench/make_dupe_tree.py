#!/usr/bin/env python3
"""Generates a deterministic tree of files for the duplicate-finder benchmark.

make_dupe_tree.py N OUTDIR TRUTH [--near FILE] [--seed S]

N files in three levels of directories (about 100 files per directory),
written below OUTDIR. Sizes are mixed: most files 100 B - 8 KB, about 7 %
8 KB - 300 KB (log-uniform), a few 1 - 4 MB; about 30 % of the files of
1 KB or more begin with one of a few shared 600-byte headers, as pictures
from one camera do, so that neither the size nor the first bytes tell them
apart. Contents are random otherwise, so two files are identical only where
this generator made them so.

- Duplicate groups: about 10 % of the files are copies of another file
  (groups of 2 or 3 files, sometimes 10), some in the directory of their
  original, the others anywhere in the tree. Every member of a group has the
  same bytes. TRUTH gets one line per group: the group's paths relative to
  OUTDIR, tab-separated and sorted; the lines are sorted too.
- Near-duplicates, never identical, so they must not be reported. Pairs of:
    block-tail   same size, one byte differs among the last 16 bytes of an
                 8192-byte block counted from byte 176
    after-196784 same size, one byte differs at or after byte 196,784
    extra-10     a copy with 10 more bytes at its end
    mid-176      same size and first 176 bytes, one byte differs in the middle
    last-byte    same size, only the very last byte differs
  With --near, FILE gets one line per pair: kind, path, path (tab-separated).
- Zero-byte files: several. They are identical to each other but are left out
  of TRUTH (the tools differ on whether they report them).

No name begins with '.', and names hold no blank, '&' or line break, so every
tool's output can be split into paths without doubt.

The last line printed is a machine-readable summary:
  TREE files=N dirs=D groups=G copies=C near_pairs=P zero=Z bytes=B
"""

import argparse
import math
import os
import random
import sys

FILES_PER_DIR = 100
COPY_SHARE = 0.10  # copies beyond the first file of each group, of N
SAME_DIR_SHARE = 0.4  # copies placed in their original's directory
MEDIUM_SHARE = 0.07
HEADER_SHARE = 0.30
HEADER_LEN = 600
HEADERS = 4
KB = 1024
MB = 1024 * 1024
EXTENSIONS = (".jpg", ".png", ".gif", ".html", ".zip", ".bin", ".txt", ".dat")

HEAD = 176  # bytes a sampled comparison may take from the head
BLOCK = 8192
SAMPLED_END = HEAD + 24 * BLOCK  # 196784
NEAR_KINDS = ("block-tail", "after-196784", "extra-10", "mid-176", "last-byte")


def dir_of_leaf(leaf):
    """Relative directory of leaf directory number `leaf`, three levels deep."""
    return "a%02d/b%d/c%d" % (leaf // 100, (leaf // 10) % 10, leaf % 10)


class Tree:
    def __init__(self, n, rng, outdir):
        self.n = n
        self.rng = rng
        self.outdir = outdir
        self.made = set()
        self.files = 0
        self.bytes = 0
        leaves = (n + FILES_PER_DIR - 1) // FILES_PER_DIR
        self.leaves = leaves
        # Slot i stands in leaf directory i % leaves: files of one directory
        # are spread over the slot numbers.
        self.free_by_dir = [[] for _ in range(leaves)]
        for i in range(n):
            self.free_by_dir[i % leaves].append(i)
        for slots in self.free_by_dir:
            rng.shuffle(slots)
        self.free_any = list(range(n))
        rng.shuffle(self.free_any)
        self.taken = set()
        self.large_share = max(3, n // 1600) / n
        self.headers = [rng.randbytes(HEADER_LEN) for _ in range(HEADERS)]

    def take_any(self):
        while True:
            slot = self.free_any.pop()
            if slot not in self.taken:
                self.taken.add(slot)
                return slot

    def take_near(self, slot):
        """A free slot in the directory of `slot`, or anywhere when it is full."""
        slots = self.free_by_dir[slot % self.leaves]
        while slots:
            other = slots.pop()
            if other not in self.taken:
                self.taken.add(other)
                return other
        return self.take_any()

    def take_copy_slot(self, original):
        if self.rng.random() < SAME_DIR_SHARE:
            return self.take_near(original)
        return self.take_any()

    def path(self, slot, ext):
        return "%s/f%07d%s" % (dir_of_leaf(slot % self.leaves), slot, ext)

    def write(self, slot, ext, data):
        """Writes the file of `slot`; returns its path relative to the tree."""
        rel = self.path(slot, ext)
        full = os.path.join(self.outdir, rel)
        parent = os.path.dirname(full)
        if parent not in self.made:
            os.makedirs(parent, exist_ok=True)
            self.made.add(parent)
        with open(full, "wb") as f:
            f.write(data)
        self.files += 1
        self.bytes += len(data)
        return rel

    def ext(self):
        return self.rng.choice(EXTENSIONS)

    def draw_size(self, large=True):
        u = self.rng.random()
        if large and u < self.large_share:
            return self.rng.randint(1 * MB, 4 * MB)
        if u < self.large_share + MEDIUM_SHARE:
            return int(math.exp(self.rng.uniform(math.log(8 * KB), math.log(300 * KB))))
        return self.rng.randint(100, 8 * KB)

    def content(self, size):
        """Random bytes, sometimes behind one of the shared headers."""
        if size >= KB and self.rng.random() < HEADER_SHARE:
            header = self.rng.choice(self.headers)
            return header + self.rng.randbytes(size - HEADER_LEN)
        return self.rng.randbytes(size)


def flip(data, pos, rng):
    out = bytearray(data)
    out[pos] ^= rng.randint(1, 255)
    return bytes(out)


def near_pair(tree, kind):
    """Content of a file and of its near-duplicate."""
    rng = tree.rng
    if kind == "block-tail":
        size = rng.randint(HEAD + BLOCK, 190 * KB)
        base = tree.content(size)
        block = rng.randrange(min(24, (size - HEAD) // BLOCK))
        pos = HEAD + block * BLOCK + BLOCK - 16 + rng.randrange(16)
        return base, flip(base, pos, rng)
    if kind == "after-196784":
        if rng.random() < 0.3:
            size = rng.randint(1 * MB, 4 * MB)
        else:
            size = rng.randint(SAMPLED_END + 1, 300 * KB)
        base = tree.content(size)
        return base, flip(base, rng.randint(SAMPLED_END, size - 1), rng)
    if kind == "extra-10":
        base = tree.content(tree.draw_size(large=False))
        return base, base + rng.randbytes(10)
    if kind == "mid-176":
        size = rng.randint(2 * HEAD + 64, 300 * KB)
        base = tree.content(size)
        return base, flip(base, size // 2, rng)
    if kind == "last-byte":
        base = tree.content(tree.draw_size(large=False))
        return base, flip(base, len(base) - 1, rng)
    raise ValueError(kind)


def group_size(rng):
    u = rng.random()
    if u < 0.6:
        return 2
    if u < 0.9:
        return 3
    return 10


def build(n, rng, outdir):
    """Writes every file; returns the tree, the groups and the near pairs."""
    tree = Tree(n, rng, outdir)
    groups = []
    near = []

    zero = 6 + n // 10000
    for _ in range(zero):
        tree.write(tree.take_any(), tree.ext(), b"")

    pairs_per_kind = max(3, n // 1000)
    for kind in NEAR_KINDS:
        for _ in range(pairs_per_kind):
            base, variant = near_pair(tree, kind)
            ext = tree.ext()
            a = tree.take_any()
            b = tree.take_copy_slot(a)
            near.append((kind, tree.write(a, ext, base), tree.write(b, ext, variant)))

    copies_left = round(n * COPY_SHARE)
    while copies_left > 0:
        members = min(group_size(rng), copies_left + 1)
        copies_left -= members - 1
        data = tree.content(tree.draw_size())
        ext = tree.ext()
        original = tree.take_any()
        slots = [original] + [tree.take_copy_slot(original) for _ in range(members - 1)]
        groups.append(sorted(tree.write(slot, ext, data) for slot in slots))

    for slot in range(n):
        if slot not in tree.taken:
            tree.taken.add(slot)
            tree.write(slot, tree.ext(), tree.content(tree.draw_size()))
    return tree, groups, near, zero


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("n", type=int, help="number of files")
    parser.add_argument("outdir")
    parser.add_argument("truth", help="file for the duplicate groups")
    parser.add_argument("--near", help="file for the near-duplicate pairs")
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    if args.n < 200:
        parser.error("N must be at least 200")
    if os.path.exists(args.outdir) and os.listdir(args.outdir):
        parser.error("%s exists and is not empty" % args.outdir)

    rng = random.Random(args.seed)
    tree, groups, near, zero = build(args.n, rng, args.outdir)

    with open(args.truth, "w") as f:
        for line in sorted("\t".join(g) for g in groups):
            f.write(line + "\n")
    if args.near:
        with open(args.near, "w") as f:
            for kind, a, b in near:
                f.write("%s\t%s\t%s\n" % (kind, a, b))

    copies = sum(len(g) - 1 for g in groups)
    print(
        "TREE files=%d dirs=%d groups=%d copies=%d near_pairs=%d zero=%d bytes=%d"
        % (tree.files, len(tree.made), len(groups), copies, len(near), zero, tree.bytes)
    )
    return 0


if __name__ == "__main__":
    sys.exit(main())
