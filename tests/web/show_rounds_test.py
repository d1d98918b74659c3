#!/usr/bin/python3
"""Nothing of a show outlives it: after five rounds of Play and Esc in
Chromium no show's module is alive once the garbage is collected
(each module is watched by a FinalizationRegistry, the collector run through
--expose-gc), and Esc after the end reaches no show.

    show_rounds_test.py

Environment as browser_test.py's. Exits 77 (skipped) when the web build is
not configured, 0 on success and 1 on failure.
"""
import sys

import browser_test as web
from browser_test import check, wait_for

ROUNDS = 5

# Watches every module the page makes: createProgram is wrapped as the
# page's script defines it.
WATCH_MODULES = """
window.modulesAlive = 0;
var registry = new FinalizationRegistry(function () { window.modulesAlive -= 1; });
var made = null;
Object.defineProperty(window, 'createProgram', {
  configurable: true,
  get: function () { return made; },
  set: function (create) {
    made = function (settings) {
      return create(settings).then(function (module) {
        window.modulesAlive += 1;
        registry.register(module, 'module');
        return module;
      });
    };
  }
});
"""

COLLECT = """
var done = arguments[arguments.length - 1];
var rounds = 0;
(function again() {
  gc();
  if (++rounds >= 20) return done(window.modulesAlive);
  setTimeout(again, 100);
})();
"""


def check_rounds():
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.keys import Keys

    with web.Server(web.SITE) as base:
        driver = web.browser(["--js-flags=--expose-gc"])
        try:
            driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument",
                                   {"source": WATCH_MODULES})
            driver.set_script_timeout(60)
            driver.get(base + "index.html")
            for round in range(1, ROUNDS + 1):
                driver.find_element("id", "play").click()
                wait_for(driver, "return demo.musicPosition()", lambda p: p > 0,
                         "round %d: the music" % round)
                ActionChains(driver).send_keys(Keys.ESCAPE).perform()
                wait_for(driver, web.STATE, lambda s: s == "ended",
                         "round %d: the end after Esc" % round)
            # Esc on the title after the end: no show may hear it.
            ActionChains(driver).send_keys(Keys.ESCAPE).perform()
            check(driver.execute_script(web.STATE) == "ended", "Esc after the end did something")
            alive = driver.execute_async_script(COLLECT)
            print("%d shows played and ended; modules alive after collecting: %d"
                  % (ROUNDS, alive))
            check(alive == 0, "%d modules of ended shows are still alive" % alive)
        finally:
            driver.quit()

if __name__ == "__main__":
    sys.exit(web.run_checks(check_rounds))
