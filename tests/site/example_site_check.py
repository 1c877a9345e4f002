#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds a fresh copy of examples/site (no output folder yet) with quillane /B:, then follows
# every link, stylesheet, script and image of its pages from index.html on, from the disk and
# from python3 -m http.server: each must resolve, each #fragment must name an element, and
# every page built must be reached.
#
#   example_site_check.py <quillane> <examples/site>
import html.parser
import os
import pathlib
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.parse
import urllib.request

quillane, source = sys.argv[1], pathlib.Path(sys.argv[2])
failures = []


class Links(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.urls, self.ids = [], set()

    def handle_starttag(self, tag, attrs):
        for name, value in attrs:
            if value is None:
                continue
            if name in ("id",) or (tag == "a" and name == "name"):
                self.ids.add(value)
            if name in ("href", "src", "poster", "data", "action"):
                self.urls.append(value)
            if name == "srcset":
                self.urls += [c.strip().split()[0] for c in value.split(",") if c.strip()]


def parse(data):
    p = Links()
    p.feed(data.decode("utf-8", "replace"))
    return p


def crawl(fetch, start):
    """fetch(path) -> bytes or None; paths are '/'-separated inside the output folder."""
    seen, pending, parsed = set(), [start], {}
    while pending:
        page = pending.pop()
        if page in seen:
            continue
        seen.add(page)
        data = fetch(page)
        if data is None:
            failures.append("missing page " + page)
            continue
        if not page.endswith(".html"):
            continue
        links = parsed[page] = parse(data)
        for url in links.urls:
            parts = urllib.parse.urlsplit(url)
            if parts.scheme or parts.netloc:
                continue
            target = urllib.parse.unquote(parts.path)
            if target.startswith("/"):
                failures.append(page + ": root-relative link left in the page: " + url)
                continue
            target = os.path.normpath(os.path.join(os.path.dirname(page), target)) if target else page
            if target.startswith(".."):
                failures.append(page + ": link leads out of the site: " + url)
                continue
            if fetch(target) is None:
                failures.append(page + ": broken link " + url)
                continue
            if target.endswith(".html"):
                pending.append(target)
                if parts.fragment:
                    ids = parsed.get(target) or parse(fetch(target))
                    parsed[target] = ids
                    if parts.fragment not in ids.ids and parts.fragment != "top":
                        failures.append(page + ": missing fragment " + url)
    return seen


with tempfile.TemporaryDirectory() as work:
    site = pathlib.Path(work) / "site"
    shutil.copytree(source, site, ignore=shutil.ignore_patterns("public"))
    run = subprocess.run([quillane, "/B:" + str(site)], capture_output=True, text=True)
    if run.returncode != 0 or not run.stdout.endswith(", 0 broken links.\n"):
        failures.append("build: status %d\n%s%s" % (run.returncode, run.stdout, run.stderr))
    public = site / "public"
    built = {str(p.relative_to(public)) for p in public.rglob("*.html")}

    def from_disk(path):
        p = public / path
        if p.is_dir():
            p = p / "index.html"
        return p.read_bytes() if p.is_file() else None

    reached = crawl(from_disk, "index.html")
    if built - reached:
        failures.append("pages no link leads to: " + ", ".join(sorted(built - reached)))

    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        port = s.getsockname()[1]
    server = subprocess.Popen(
        [sys.executable, "-m", "http.server", str(port), "--bind", "127.0.0.1"],
        cwd=public, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        def from_server(path):
            url = "http://127.0.0.1:%d/%s" % (port, urllib.parse.quote(path))
            for _ in range(50):
                try:
                    with urllib.request.urlopen(url, timeout=5) as r:
                        return r.read()
                except urllib.error.HTTPError:
                    return None
                except OSError:
                    time.sleep(0.1)
            return None

        crawl(from_server, "index.html")
    finally:
        server.terminate()
        server.wait()

for f in failures:
    print(f)
print("example site: %d pages, %s" % (len(built), "ok" if not failures else "FAILED"))
sys.exit(1 if failures else 0)
