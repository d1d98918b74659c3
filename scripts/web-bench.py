#!/usr/bin/python3
"""render-bench in Chromium, for the line scripts/bench.sh prints beside figure (d),
for information (the web renderer against the native one).

    scripts/web-bench.py [render-bench arguments]

Serves build/web (the bench page and the site's textures) on 127.0.0.1,
opens build/web/bench-page/bench.html in Chromium under Xvfb with ANGLE on
the display's OpenGL (Mesa llvmpipe, as the native build renders on) and
prints render-bench's output: the RENDERER line (the browser's WebGL
renderer) and the RESULT line. Build the page first: cmake --build
--preset web --target web-bench.
"""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
import browser_test  # noqa: E402


def main():
    page = os.path.join(browser_test.WEB_BUILD, "bench-page", "bench.html")
    if not os.path.exists(page):
        print("web-bench: no %s; build the web-bench target first" % page, file=sys.stderr)
        return 1
    display = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "1280x1024x24",
                                "-nolisten", "tcp"], stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL)
    os.environ["DISPLAY"] = ":" + display.stdout.readline().decode().strip()
    try:
        with browser_test.Server(browser_test.WEB_BUILD) as base:
            driver = browser_test.browser(["--use-angle=gl", "--ignore-gpu-blocklist"],
                                          headless=False)
            try:
                driver.get(base + "bench-page/bench.html?args=" + ",".join(sys.argv[1:]))
                deadline = time.monotonic() + 1800
                while time.monotonic() < deadline:
                    title = driver.title
                    if title == "done" or title.startswith("error"):
                        break
                    time.sleep(0.5)
                renderer = driver.execute_script(
                    "var c = document.createElement('canvas').getContext('webgl2');"
                    "var i = c && c.getExtension('WEBGL_debug_renderer_info');"
                    "return i ? c.getParameter(i.UNMASKED_RENDERER_WEBGL) : 'none'")
                output = driver.execute_script(
                    "return document.getElementById('output').textContent")
            finally:
                driver.quit()
    finally:
        display.terminate()
        display.wait()
    for line in output.splitlines():
        if line.startswith("RENDERER "):
            line = "RENDERER " + renderer  # the browser's, not WebGL's masked name
        print(line)
    return 0 if title == "done" else 1


if __name__ == "__main__":
    sys.exit(main())
