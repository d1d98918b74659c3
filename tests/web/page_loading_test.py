#!/usr/bin/python3
"""The page when its files do not arrive: a server that drops the connection
halfway through each of the five files, one that answers with an error, and
one that stops sending. Each ends on the title with Play enabled and one
line naming the file and the cause, and Play then tries again.

    page_loading_test.py [--browser chromium|webkit]

Environment as browser_test.py's. Exits 77 (skipped) when the web build is
not configured, 0 on success and 1 on failure.
"""
import functools
import http.server
import os
import sys
import threading
import time

import browser_test as web
from browser_test import check, wait_for

FILES = ["demo.mp3", "tree.dds", "leaf.dds", "ground.dds", "grass.dds"]


class FaultyHandler(web.QuietHandler):
    """Serves the site, except that the file named in `faults` is dropped
    halfway, answered with HTTP 500, or stalls halfway."""

    faults = {}

    def do_GET(self):
        name = self.path.split("?", 1)[0].lstrip("/")
        fault = self.faults.get(name)
        if fault is None:
            return super().do_GET()
        if fault == "error":
            return self.send_error(500, "Internal Server Error")
        with open(os.path.join(web.SITE, name), "rb") as source:
            data = source.read()
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data[:len(data) // 2])
        self.wfile.flush()
        if fault == "stall":
            time.sleep(45)
        self.close_connection = True


class FaultyServer(web.Server):
    def __init__(self):
        handler = functools.partial(FaultyHandler, directory=web.SITE)
        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)


def expect_title(driver, base, name, fault, cause):
    FaultyHandler.faults = {name: fault}
    driver.get(base + "index.html")
    driver.find_element("id", "play").click()
    wait_for(driver, web.STATE, lambda s: s == "failed", "%s %s: the page's state" % (name, fault))
    text = driver.execute_script(web.FAILURE)
    print("%-10s %-6s the page says: %s" % (name, fault, text))
    causes = cause if isinstance(cause, tuple) else (cause,)
    check('"%s"' % name in text and any(c in text for c in causes),
          "%s %s: expected the file and %r, found %r" % (name, fault, cause, text))
    check(driver.execute_script(
        "return !document.getElementById('play').disabled && "
        "!document.getElementById('title').hidden"), "%s %s: Play is not offered" % (name, fault))


def check_failures():
    with FaultyServer() as base:
        driver = web.browser()
        try:
            for name in FILES:
                # Chromium's stream fails with an error, WebKit's ends short
                # of the announced length: the page names either.
                expect_title(driver, base, name, "drop",
                             ("the connection dropped after", "the connection ended after"))
            expect_title(driver, base, "demo.mp3", "error", "HTTP 500")
            expect_title(driver, base, "ground.dds", "error", "HTTP 500")
            expect_title(driver, base, "leaf.dds", "stall", "nothing arrived for 30 s")
            # The server mended, Play tries again and the show starts.
            FaultyHandler.faults = {}
            driver.find_element("id", "play").click()
            wait_for(driver, "return demo.musicPosition()", lambda p: p > 0, "the show")
        finally:
            driver.quit()

if __name__ == "__main__":
    if web.choose_browser(sys.argv[1:]) != []:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    sys.exit(web.run_checks(check_failures))
