#!/usr/bin/env python3
"""The demo pages in headless Chromium, as a visitor uses them.

Starts `trelix_eb serve` on a free loopback port over a fresh demo site,
drives Chromium through the DevTools protocol on a pipe (no other tools
needed), clicks and picks like a visitor, checks what the page shows and
keeps a screenshot.

    demo_pages_test.py TRELIX_EB_BINARY ARTEFACT_DIR

Exit status 0 passed, 1 failed, 77 skipped (no Chromium and
TRELIX_REQUIRE_SERVICES is not 1).
"""

import fcntl
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import base64
import urllib.request

SKIP = 77
TIMEOUT = 30.0
# The page marks a part aria-busy while it loads it.
SETTLED = "!document.getElementById('%s').hasAttribute('aria-busy')"


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


class Browser:
    """Chromium with the DevTools protocol on fds 3 (in) and 4 (out)."""

    def __init__(self, executable, profile):
        to_child_r, to_child_w = os.pipe()
        from_child_r, from_child_w = os.pipe()
        # Out of the way of 3 and 4, so that the dup2 calls below cannot
        # overwrite each other.
        high_r = fcntl.fcntl(to_child_r, fcntl.F_DUPFD, 10)
        high_w = fcntl.fcntl(from_child_w, fcntl.F_DUPFD, 10)
        os.close(to_child_r)
        os.close(from_child_w)

        def wire():
            os.dup2(high_r, 3)
            os.dup2(high_w, 4)

        args = [executable, "--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                "--no-first-run", "--no-default-browser-check", "--disable-extensions", "--hide-scrollbars",
                "--remote-debugging-pipe", f"--user-data-dir={profile}", "--window-size=1280,1600", "about:blank"]
        self.process = subprocess.Popen(args, preexec_fn=wire, pass_fds=(3, 4), stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        os.close(high_r)
        os.close(high_w)
        self.writer = os.fdopen(to_child_w, "wb", buffering=0)
        self.reader = from_child_r
        self.buffer = b""
        self.next_id = 0
        self.session = None

    def _message(self, deadline):
        while b"\0" not in self.buffer:
            if time.time() > deadline:
                raise Failure("Chromium did not answer in time")
            chunk = os.read(self.reader, 1 << 16)
            if not chunk:
                raise Failure("Chromium closed the DevTools pipe")
            self.buffer += chunk
        text, self.buffer = self.buffer.split(b"\0", 1)
        return json.loads(text)

    def send(self, method, params=None, session=True):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session and self.session:
            message["sessionId"] = self.session
        self.writer.write(json.dumps(message).encode() + b"\0")
        deadline = time.time() + TIMEOUT
        while True:
            answer = self._message(deadline)
            if answer.get("id") == self.next_id:
                if "error" in answer:
                    raise Failure(f"{method}: {answer['error']}")
                return answer.get("result", {})

    def open_page(self):
        target = self.send("Target.createTarget", {"url": "about:blank"}, session=False)["targetId"]
        self.session = self.send("Target.attachToTarget", {"targetId": target, "flatten": True},
                                 session=False)["sessionId"]
        self.send("Page.enable")
        self.send("Runtime.enable")
        self.send("Emulation.setDeviceMetricsOverride",
                  {"width": 1280, "height": 1600, "deviceScaleFactor": 1, "mobile": False})

    def evaluate(self, expression):
        result = self.send("Runtime.evaluate", {"expression": expression, "returnByValue": True,
                                                "awaitPromise": True})
        if "exceptionDetails" in result:
            raise Failure(f"page script failed: {expression}: {result['exceptionDetails']}")
        return result["result"].get("value")

    def wait_for(self, expression, what):
        deadline = time.time() + TIMEOUT
        while time.time() < deadline:
            value = self.evaluate(expression)
            if value:
                return value
            time.sleep(0.1)
        raise Failure(f"timed out waiting for {what}")

    def click(self, selector):
        """A real mouse click in the middle of the element."""
        box = self.evaluate(f"""(() => {{
            const element = document.querySelector({json.dumps(selector)});
            if (!element) return null;
            element.scrollIntoView({{block: "center"}});
            const r = element.getBoundingClientRect();
            return {{x: r.x + r.width / 2, y: r.y + r.height / 2}};
        }})()""")
        check(box is not None, f"nothing to click at {selector}")
        for kind in ("mousePressed", "mouseReleased"):
            self.send("Input.dispatchMouseEvent",
                      {"type": kind, "x": box["x"], "y": box["y"], "button": "left", "clickCount": 1})

    def choose(self, select_id, value):
        """Picks an entry of a drop-down with the keyboard, as a visitor can."""
        self.evaluate(f"document.getElementById({json.dumps(select_id)}).focus()")
        for _ in range(20):
            current = self.evaluate(f"document.getElementById({json.dumps(select_id)}).value")
            if current == value:
                return
            for kind in ("keyDown", "keyUp"):
                self.send("Input.dispatchKeyEvent", {"type": kind, "key": "ArrowDown", "code": "ArrowDown",
                                                     "windowsVirtualKeyCode": 40})
        raise Failure(f"could not pick {value} in #{select_id}")

    def screenshot(self, path):
        height = self.evaluate("document.documentElement.scrollHeight")
        self.send("Emulation.setDeviceMetricsOverride",
                  {"width": 1280, "height": int(height), "deviceScaleFactor": 1, "mobile": False})
        data = self.send("Page.captureScreenshot", {"format": "png"})["data"]
        with open(path, "wb") as out:
            out.write(base64.b64decode(data))

    def close(self):
        try:
            self.send("Browser.close", session=False)
        except Failure:
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()


def start_service(binary, directory):
    subprocess.run([binary, "demo-db", directory], check=True, stdout=subprocess.DEVNULL)
    # Settings from a configuration file; the port (any free one) from a flag.
    config = os.path.join(directory, "serve.json")
    with open(config, "w") as out:
        json.dump({"connection": f"sqlite:{directory}", "quiet": True, "threads": 4}, out)
    service = subprocess.Popen([binary, "serve", "--config", config, "--port", "0"],
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    line = service.stdout.readline()  # "trelix_eb: serving http://127.0.0.1:PORT/ (...)"
    check("serving http://" in line, f"the service did not start: {line!r}")
    url = line.split("serving ", 1)[1].split(" ", 1)[0].rstrip("/")
    with urllib.request.urlopen(url + "/health", timeout=10) as answer:
        check(answer.read() == b"ok", "/health did not answer ok")
    return service, url


def text_of(browser, selector):
    return browser.evaluate(f"document.querySelector({json.dumps(selector)}).innerText")


def visit(browser, url, artefacts):
    # A bookmarked page: the fragment holds the visitor's earlier choices.
    browser.send("Page.navigate", {"url": f"{url}/#language=1&currency=EUR&vehicle=1001&competitor=1004"
                                          "&compare=1001,1002"})
    rows = "document.querySelectorAll('#sheet tbody tr').length"
    browser.wait_for(f"{rows} > 0 && {SETTLED % 'sheet'}", "the sheet")
    check(text_of(browser, "#sheet-status") == "", "spec sheet error: " + text_of(browser, "#sheet-status"))
    sheet = text_of(browser, "#sheet tbody")
    check(browser.evaluate("document.querySelectorAll('#sheet .mark').length") > 0,
          "the sheet shows no availability marks")
    check("@S" not in sheet and "@O" not in sheet and "CUR|" not in sheet, "raw codes are shown: " + sheet[:300])
    # Amounts are converted by the currency method once their answers arrive.
    browser.wait_for("[...document.querySelectorAll('#sheet .amount')].every(a => /EUR|€/.test(a.textContent))",
                     "amounts in the chosen currency")
    sheet = text_of(browser, "#sheet tbody")

    # Ticking an option changes the sheet.
    browser.click("#options input[value='12']")
    browser.wait_for(SETTLED % "sheet", "the sheet after ticking option 12")
    browser.wait_for(f"document.querySelector('#sheet tbody').innerText !== {json.dumps(sheet)}",
                     "the sheet to change after ticking option 12")
    check(text_of(browser, "#sheet-status") == "", "spec sheet error: " + text_of(browser, "#sheet-status"))
    check("options=12" in browser.evaluate("location.hash"), "the choice is not kept in the address")

    # Another competitor: the key advantages are sentences.
    browser.choose("competitor", "1005")
    browser.wait_for(SETTLED % "advantages", "the key advantages")
    check(text_of(browser, "#ka-status") == "", "key advantages error: " + text_of(browser, "#ka-status"))
    sentences = browser.evaluate("[...document.querySelectorAll('#advantages li')].map(li => li.textContent)")
    check(len(sentences) > 0 and all(len(s.split()) >= 3 for s in sentences), f"no sentences: {sentences}")
    check(not any("%" in s or "CUR|" in s for s in sentences), f"unfilled placeholders: {sentences}")

    # A third vehicle joins the comparison: a table with one column per
    # vehicle and marks for what differs.
    browser.click("#compare-vehicles input[value='1004']")
    browser.wait_for(SETTLED % "features", "the comparison")
    browser.wait_for("document.querySelectorAll('#features thead th').length === 4", "the comparison of 3 vehicles")
    check(text_of(browser, "#fc-status") == "", "comparison error: " + text_of(browser, "#fc-status"))
    head = text_of(browser, "#features thead")
    check("Castellan Ravel 1.2 Entry" in head, "the third vehicle has no column: " + head)
    marks = browser.evaluate("[...document.querySelectorAll('#features tbody td .mark')].map(m => m.textContent)")
    check(any(mark in ("+", "−", "≠") for mark in marks), f"no added/deleted/changed marks: {set(marks)}")
    states = browser.evaluate("[...document.querySelectorAll('#features tbody td')].map(td => td.className)")
    check(any(state in ("state-Added", "state-Deleted", "state-Changed") for state in states),
          f"no highlighted differences: {set(states)}")

    os.makedirs(artefacts, exist_ok=True)
    browser.screenshot(os.path.join(artefacts, "demo_pages.png"))


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    binary, artefacts = sys.argv[1], sys.argv[2]
    chromium = os.environ.get("CHROMIUM") or shutil.which("chromium") or shutil.which("chromium-browser")
    if not chromium:
        if os.environ.get("TRELIX_REQUIRE_SERVICES") == "1":
            print("FAIL: chromium is not installed (scripts/setup installs it)", file=sys.stderr)
            return 1
        print("SKIP: chromium is not installed", file=sys.stderr)
        return SKIP
    with tempfile.TemporaryDirectory(prefix=f"trelix_e2e_{os.getpid()}_") as work:
        service, url = start_service(binary, os.path.join(work, "demo"))
        browser = None
        try:
            browser = Browser(chromium, os.path.join(work, "profile"))
            browser.open_page()
            visit(browser, url, artefacts)
        except Failure as failure:
            print(f"FAIL: {failure}", file=sys.stderr)
            if browser:
                try:
                    browser.screenshot(os.path.join(artefacts, "demo_pages_failure.png"))
                except Exception:  # the failure itself is what matters
                    pass
            return 1
        finally:
            if browser:
                browser.close()
            # SIGTERM: the service finishes what is in flight and exits 0.
            service.send_signal(signal.SIGTERM)
            try:
                code = service.wait(timeout=15)
            except subprocess.TimeoutExpired:
                service.kill()
                code = "killed"
        if code != 0:
            print(f"FAIL: the service did not shut down cleanly on SIGTERM ({code})", file=sys.stderr)
            return 1
    print(f"PASS: screenshot in {os.path.join(artefacts, 'demo_pages.png')}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
