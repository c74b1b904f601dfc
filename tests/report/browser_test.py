#!/usr/bin/env python3
"""Opens the pages of ravelin report in headless Chromium with the network
shut off and a fresh profile, and fails when the browser logs a console
message for a page, its screenshot is blank, or the page makes a request
(the browser's net log records every request made for a file:// page). A
control page that does all three must be caught, so that a harness that
sees nothing cannot pass.

    browser_test.py RAVELIN_EXE PROJECT_SOURCE_DIR SCREENSHOT_DIR

With RAVELIN_README_IMAGE set to a path, the screenshot of the bundled
calibration's page is also written there, cropped and reduced, as the
README's picture. One page compares a damaged blob with the example
(--old), so that the heat maps and the older rig are opened too. Exit 0 when
all hold, 1 otherwise, 77 when Chromium or python3-pil is missing (1 when
RAVELIN_REQUIRE_TOOLS is set).
"""
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile

from report_pages import damaged_blob, missing

try:
    from PIL import Image
except ImportError:
    missing("python3-pil", "it")

CHROMIUM = shutil.which("chromium")
if CHROMIUM is None:
    missing("chromium", "it")

RAVELIN, PROJECT, SHOTS = sys.argv[1:4]
WINDOW = (1200, 2000)
# A page opens in a few seconds; a machine shared by several builds may take
# far longer, and a browser that hangs is a failure, not a wait.
BROWSER_SECONDS = 240
README_WIDTH = 900
README_HEIGHT = 1880  # of the window: the header, the rig and the first camera
# Every host name fails to resolve inside the browser, so that nothing the
# page or the browser asks for leaves the machine; the options after it stop
# the browser's own background requests where they can.
BROWSER_OPTIONS = [
    "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--disable-default-apps", "--disable-extensions", "--no-pings",
    "--host-resolver-rules=MAP * ~NOTFOUND", "--enable-logging=stderr", "--v=0",
    "--hide-scrollbars", f"--window-size={WINDOW[0]},{WINDOW[1]}",
]
CONTROL_PAGE = """<!DOCTYPE html><html lang="en"><head><meta charset="utf-8"><title>control</title>
</head><body><h1>control</h1><img alt="" src="http://fetch.invalid/x.png">
<script>console.error("logged");</script></body></html>
"""


def page_requests(net_log_path):
    """URLs the page asked the network for: requests isolated under file://."""
    with open(net_log_path, encoding="utf-8") as text:
        log = text.read()
    try:
        events = json.loads(log)["events"]
    except ValueError:  # a log cut short by the browser's exit lacks its end
        events = json.loads(log.rstrip().rstrip(",") + "]}")["events"]
    return sorted({event["params"]["url"] for event in events
                   if "file://" in event.get("params", {}).get("network_isolation_key", "")
                   and "url" in event["params"]})


def is_blank(screenshot):
    grey = Image.open(screenshot).convert("L")
    low, high = grey.getextrema()
    if low == high:
        return True
    background = grey.getpixel((0, 0))
    marked = sum(count for shade, count in enumerate(grey.histogram()) if shade != background)
    return marked < 0.01 * grey.width * grey.height


def launch(page, screenshot, workspace):
    """A browser on its way to the page's screenshot, and the path of its net
    log. Every page's browser runs at once: most of a browser's time is spent
    waiting, not computing, and the suite's time is short."""
    profile = tempfile.mkdtemp(dir=workspace)
    net_log = os.path.join(workspace, os.path.basename(screenshot) + ".netlog.json")
    # A session of its own, so that a browser stopped for taking too long
    # takes its helper processes with it.
    browser = subprocess.Popen(
        [CHROMIUM, *BROWSER_OPTIONS, f"--user-data-dir={profile}", f"--log-net-log={net_log}",
         f"--screenshot={screenshot}", "file://" + os.path.abspath(page)],
        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, start_new_session=True)
    return browser, net_log


def outcome(browser, net_log):
    """The exit code, the console lines and the page's requests. The exit
    code is None when the browser had to be stopped."""
    try:
        _, log = browser.communicate(timeout=BROWSER_SECONDS)
    except subprocess.TimeoutExpired:
        os.killpg(browser.pid, signal.SIGKILL)
        browser.communicate()
        return None, [], []
    console = [line for line in log.splitlines() if ":CONSOLE" in line]
    return browser.returncode, console, page_requests(net_log)


def faults(launched, screenshot):
    code, console, requests = outcome(*launched)
    found = []
    if code is None:
        return [f"the browser did not finish within {BROWSER_SECONDS} s"]
    if code != 0:
        found.append(f"the browser exited {code}")
    found += [f"the browser logged: {line}" for line in console]
    found += [f"the page requested {url}" for url in requests]
    if not os.path.exists(screenshot):
        found.append("no screenshot")
    elif is_blank(screenshot):
        found.append("the screenshot is blank")
    return found


def render(argument, path, page, extra=()):
    # From the project's folder, so that the page names the example as a reader would.
    result = subprocess.run([RAVELIN, "report", argument, path, "--html", page, "--force", *extra],
                            capture_output=True, text=True, check=False, cwd=PROJECT)
    if result.returncode != 0:
        raise RuntimeError(f"report of {path} exited {result.returncode}: {result.stderr}")


def write_readme_image(screenshot, destination):
    image = Image.open(screenshot).convert("RGB").crop((0, 0, WINDOW[0], README_HEIGHT))
    height = round(README_HEIGHT * README_WIDTH / WINDOW[0])
    image = image.resize((README_WIDTH, height), Image.LANCZOS)
    image.quantize(colors=256, method=Image.Quantize.FASTOCTREE).save(destination, optimize=True)


def main():
    os.makedirs(SHOTS, exist_ok=True)
    workspace = tempfile.mkdtemp(prefix="report-browser-")
    # The damaged blob is also compared with the example: one page shows the
    # heat maps and the older rig without a browser more.
    cases = [
        ("calibration", "--json", os.path.join("examples", "calibration.json")),
        ("device_config", "--json", os.path.join("examples", "device_config.json")),
        ("damaged-blob", "--bin", damaged_blob(PROJECT, workspace),
         ("--old", os.path.join("examples", "calibration.json"))),
    ]
    browsers = []
    for name, argument, path, *extra in cases:
        page = os.path.join(workspace, name + ".html")
        render(argument, path, page, *extra)
        screenshot = os.path.join(SHOTS, name + ".png")
        browsers.append((name, screenshot, launch(page, screenshot, workspace)))
    control = os.path.join(workspace, "control.html")
    with open(control, "w", encoding="utf-8") as text:
        text.write(CONTROL_PAGE)
    control_shot = os.path.join(workspace, "control.png")
    control_browser = launch(control, control_shot, workspace)
    failures = 0
    for name, screenshot, browser in browsers:
        for fault in faults(browser, screenshot):
            print(f"FAIL: {name}: {fault}")
            failures += 1
    caught = faults(control_browser, control_shot)
    if not any("logged" in f for f in caught) or not any("requested" in f for f in caught):
        print(f"FAIL: the control page's log line and request went unseen: {caught}")
        failures += 1
    readme_image = os.environ.get("RAVELIN_README_IMAGE")
    if readme_image and failures == 0:
        write_readme_image(os.path.join(SHOTS, "calibration.png"), readme_image)
    shutil.rmtree(workspace, ignore_errors=True)
    print(f"{len(cases)} pages opened, {failures} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
