#!/usr/bin/env python3
"""Generates a deterministic static web site for the crawl benchmark.

make_site.py N OUTDIR [--seed S]

N pages in nested directories, every page reachable from /index.html; each
page links to about ten others with a mix of relative and root-relative
links. Besides the pages: one picture per four pages (.jpg/.png/.gif names,
2-30 KB of random bytes), one stylesheet, and one ~200 KB .zip per hundred
pages. With --dynamic: one query page per two pages (/list/view.php?id=K&s=1,
written into the page as "&amp;"; the server answers it from
/list/view/K.html) and one script page without a query per four pages
(/tools/toolK.php, served as HTML). The last line printed is a
machine-readable summary:
  SITE pages=N pictures=P stylesheets=1 archives=Z queries=Q scripts=S total=T bytes=B
where total counts the files a mirror holds (a query page once per URL).
"""

import argparse
import os
import posixpath
import random
import sys

LINKS_PER_PAGE = 10
PICTURE_EVERY = 4
ARCHIVE_EVERY = 100
PICTURE_EXTS = (".jpg", ".png", ".gif")


def page_path(i):
    """Site path of page i ('/index.html' for 0), two or three levels deep."""
    if i == 0:
        return "/index.html"
    a = i % 16
    b = (i // 16) % 12
    if i % 3 == 0:
        return "/sec%02d/page%06d.html" % (a, i)
    if i % 3 == 1:
        return "/sec%02d/sub%02d/page%06d.html" % (a, b, i)
    c = (i // 192) % 8
    return "/sec%02d/sub%02d/deep%d/page%06d.html" % (a, b, c, i)


def picture_path(k):
    ext = PICTURE_EXTS[k % len(PICTURE_EXTS)]
    return "/images/g%02d/pic%06d%s" % (k % 20, k, ext)


def archive_path(k):
    return "/files/archive%04d.zip" % k


def href(source, target, rng):
    """A link from page `source` to site path `target`: root-relative or relative."""
    if rng.random() < 0.5:
        return target
    rel = posixpath.relpath(target, posixpath.dirname(source))
    if rng.random() < 0.2 and not rel.startswith("."):
        rel = "./" + rel
    return rel


def query_url(k):
    return "/list/view.php?id=%d&amp;s=1" % k


def query_file(k):
    return "/list/view/%d.html" % k


def script_path(k):
    return "/tools/tool%05d.php" % k


def small_page(title, links):
    items = "".join('<li><a href="%s">%s</a></li>\n' % (u, t) for u, t in links)
    return ("<!DOCTYPE html>\n<html><head><title>%s</title></head><body>\n"
            "<h1>%s</h1>\n<ul>\n%s</ul>\n</body></html>\n" % (title, title, items))


def write_file(root, site_path, data):
    full = os.path.join(root, site_path.lstrip("/"))
    os.makedirs(os.path.dirname(full), exist_ok=True)
    mode = "wb" if isinstance(data, bytes) else "w"
    with open(full, mode) as f:
        f.write(data)
    return len(data)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("pages", type=int)
    ap.add_argument("outdir")
    ap.add_argument("--seed", type=int, default=20240601)
    ap.add_argument("--dynamic", action="store_true")
    args = ap.parse_args()
    n = max(1, args.pages)
    root = args.outdir
    rng = random.Random(args.seed)

    pictures = (n + PICTURE_EVERY - 1) // PICTURE_EVERY
    archives = max(1, n // ARCHIVE_EVERY)
    queries = (n + 1) // 2 if args.dynamic else 0
    scripts = (n + 3) // 4 if args.dynamic else 0
    total_bytes = 0
    for k in range(queries):
        total_bytes += write_file(root, query_file(k), small_page(
            "Entry %d" % k, [("/index.html", "home"), ("/style.css", "style")]))
    for k in range(scripts):
        total_bytes += write_file(root, script_path(k), small_page(
            "Tool %d" % k, [("../index.html", "home")]))

    css = "body { font-family: sans-serif; margin: 2em; }\n" \
          "a { color: #224488; }\nimg { border: 1px solid #ccc; }\n" * 4
    total_bytes += write_file(root, "/style.css", css)

    for k in range(pictures):
        size = rng.randint(2 * 1024, 30 * 1024)
        total_bytes += write_file(root, picture_path(k), rng.randbytes(size))
    for k in range(archives):
        size = rng.randint(190 * 1024, 210 * 1024)
        total_bytes += write_file(root, archive_path(k), rng.randbytes(size))

    words = ("alpha bravo charlie delta echo foxtrot golf hotel india juliet "
             "kilo lima mike november oscar papa quebec romeo sierra tango").split()
    for i in range(n):
        src = page_path(i)
        # Two tree links keep every page reachable in O(log N) hops; the rest
        # are random pages anywhere in the site.
        targets = [j for j in (2 * i + 1, 2 * i + 2) if j < n]
        while len(targets) < min(LINKS_PER_PAGE, n - 1):
            j = rng.randrange(n)
            if j != i and j not in targets:
                targets.append(j)
        body = []
        body.append("<!DOCTYPE html>\n<html><head><title>Page %d</title>\n" % i)
        body.append('<link rel="stylesheet" href="%s">\n</head><body>\n'
                    % href(src, "/style.css", rng))
        body.append("<h1>Page %d</h1>\n<p>%s</p>\n"
                    % (i, " ".join(rng.choice(words) for _ in range(60))))
        if i % PICTURE_EVERY == 0:
            pic = picture_path(i // PICTURE_EVERY)
            body.append('<p><img src="%s" alt="picture %d"></p>\n'
                        % (href(src, pic, rng), i // PICTURE_EVERY))
        if i % ARCHIVE_EVERY == 0 and i // ARCHIVE_EVERY < archives:
            body.append('<p><a href="%s">archive</a></p>\n'
                        % href(src, archive_path(i // ARCHIVE_EVERY), rng))
        if i % 2 == 0 and i // 2 < queries:
            body.append('<p><a href="%s">entry</a></p>\n' % query_url(i // 2))
        if i % 4 == 0 and i // 4 < scripts:
            body.append('<p><a href="%s">tool</a></p>\n' % href(src, script_path(i // 4), rng))
        body.append("<ul>\n")
        for j in targets:
            body.append('<li><a href="%s">page %d</a></li>\n' % (href(src, page_path(j), rng), j))
        body.append("</ul>\n</body></html>\n")
        total_bytes += write_file(root, src, "".join(body))

    total = n + pictures + 1 + archives + queries + scripts
    print("SITE pages=%d pictures=%d stylesheets=1 archives=%d queries=%d scripts=%d "
          "total=%d bytes=%d" % (n, pictures, archives, queries, scripts, total, total_bytes))
    return 0


if __name__ == "__main__":
    sys.exit(main())
