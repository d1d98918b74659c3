#!/usr/bin/python3
"""The browsers the web tests drive: Chromium through chromedriver (headless
on SwiftShader, or under Xvfb), or WebKit, the engine of Safari, through
WebKitWebDriver and WebKitGTK's MiniBrowser under an Xvfb of its own.
choose_browser() takes the test's --browser switch.
"""
import os
import shutil
import subprocess

# The browser the cases drive: "chromium" or "webkit" (set from --browser).
BROWSER = "chromium"
WEBKIT_DRIVER = "/usr/bin/WebKitWebDriver"
MINIBROWSER = "/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser"


class Skip(Exception):
    pass


def virtual_display():
    """Starts an Xvfb of its own and points DISPLAY at it: the process."""
    display = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "1280x1024x24",
                                "-nolisten", "tcp"], stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL)
    os.environ["DISPLAY"] = ":" + display.stdout.readline().decode().strip()
    return display


def webkit_browser(autoplay=True):
    """MiniBrowser under an Xvfb of its own, sound allowed without a click
    unless autoplay is False (its default lets a page start sound only after
    one). Without a sound server WebKit's audio context still runs on its own
    clock; its ALSA complaints go to the log. quit() also ends the display."""
    from selenium import webdriver

    for program in (WEBKIT_DRIVER, MINIBROWSER, shutil.which("Xvfb")):
        if not program or not os.path.exists(program):
            raise Skip("no %s (scripts/install-deps.sh --web installs webkit2gtk-driver "
                       "and xvfb)" % (program or "Xvfb"))
    options = webdriver.WebKitGTKOptions()
    options.binary_location = MINIBROWSER
    for arg in ["--automation"] + (["--autoplay-policy=allow"] if autoplay else []):
        options.add_argument(arg)
    display = virtual_display()
    try:
        driver = webdriver.WebKitGTK(executable_path=WEBKIT_DRIVER, options=options)
    except Exception:
        display.terminate()
        display.wait()
        raise
    driver.set_window_size(1280, 800)
    quit = driver.quit

    def quit_all():
        try:
            quit()
        finally:
            display.terminate()
            display.wait()

    driver.quit = quit_all
    return driver


def browser(extra=(), headless=True, window_size="1280,800"):
    """The browser chosen: Chromium with `extra` flags, headless unless told
    otherwise, or WebKit (where an --autoplay-policy flag among `extra`
    leaves MiniBrowser's own policy)."""
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service

    if BROWSER == "webkit":
        return webkit_browser(not any(arg.startswith("--autoplay-policy") for arg in extra))
    options = webdriver.ChromeOptions()
    args = ["--no-sandbox", "--window-size=" + window_size]
    if not any(arg.startswith("--autoplay-policy") for arg in extra):
        args.append("--autoplay-policy=no-user-gesture-required")
    if headless:
        args += ["--headless=new", "--use-angle=swiftshader", "--enable-unsafe-swiftshader"]
    for arg in args + list(extra):
        options.add_argument(arg)
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def choose_browser(args):
    """Takes --browser NAME off the front of args (sets BROWSER): the rest,
    or None when the name is not one of ours."""
    global BROWSER
    if args[:1] == ["--browser"] and len(args) > 1:
        if args[1] not in ("chromium", "webkit"):
            return None
        BROWSER = args[1]
        return args[2:]
    return args
