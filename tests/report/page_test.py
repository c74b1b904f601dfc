#!/usr/bin/env python3
"""The pages of ravelin report, read as a browser and an XML tool read them:
each parses as HTML5 without a single parse error, each inline SVG parses as
XML, nothing refers outside the page, every camera has one frustum and every
IMU one axis triple in each view of the rig, a camera moved in the
document moves by as much at the drawing's scale, and a page compared with an
older document has one heat map per camera and the older rig under the new.

    page_test.py RAVELIN_EXE PROJECT_SOURCE_DIR

Exit 0 when every case holds, 1 otherwise, 77 when html5lib is missing (1
when RAVELIN_REQUIRE_TOOLS is set).
"""
import copy
import json
import os
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

from report_pages import damaged_blob, missing

try:
    import html5lib
except ImportError:
    missing("python3-html5lib", "it")

RAVELIN, PROJECT = sys.argv[1:3]
EXAMPLES = os.path.join(PROJECT, "examples")
GOLDEN = os.path.join(PROJECT, "tests", "golden")
MAX_EXAMPLE_PAGE_BYTES = 300 * 1024
VIEWS = ("rig-top", "rig-front", "rig-side")
failures = []


def fail(message):
    failures.append(message)
    print("FAIL: " + message)


def render(argument, path, workspace, name, extra=()):
    page = os.path.join(workspace, name + ".html")
    result = subprocess.run([RAVELIN, "report", argument, path, "--html", page, "--force", *extra],
                            capture_output=True, text=True, check=False)
    if result.returncode != 0:
        fail(f"report of {path} exited {result.returncode}: {result.stderr}")
        return ""
    with open(page, encoding="utf-8") as text:
        return text.read()


def svgs(page):
    return re.findall(r"<svg\b.*?</svg>", page, flags=re.S)


def check_well_formed(name, page):
    try:
        html5lib.HTMLParser(strict=True).parse(page)
    except html5lib.html5parser.ParseError as error:
        fail(f"{name}: not valid HTML5: {error}")
    for number, svg in enumerate(svgs(page)):
        try:
            ElementTree.fromstring(svg)
        except ElementTree.ParseError as error:
            fail(f"{name}: SVG {number} is not XML: {error}")


def check_self_contained(name, page):
    for pattern in (r"<script", r"<link", r"<img", r"<iframe", r"<object", r"<embed",
                    r"@import", r"\bsrc\s*="):
        if re.search(pattern, page, flags=re.I):
            fail(f"{name}: holds {pattern}, which could fetch or run something")
    for reference in re.findall(r"(?:href\s*=\s*\"|url\()([^\")]*)", page):
        if not reference.startswith("#"):
            fail(f"{name}: refers outside the page: {reference}")


def view(page, view_id):
    for svg in svgs(page):
        element = ElementTree.fromstring(svg)
        if element.get("id") == view_id:
            return element
    fail(f"no view {view_id}")
    return ElementTree.Element("svg")


def groups(element, cls):
    return [g for g in element.iter("g") if g.get("class") == cls]


def check_rig_counts(name, page, cameras, imus):
    for view_id in VIEWS:
        svg = view(page, view_id)
        frusta = sorted(g.get("data-camera") for g in groups(svg, "frustum"))
        if frusta != [str(i) for i in range(cameras)]:
            fail(f"{name} {view_id}: frusta of cameras {frusta}, expected one each of {cameras}")
        triples = groups(svg, "imu-axes")
        if len(triples) != imus:
            fail(f"{name} {view_id}: {len(triples)} IMU axis triples, expected {imus}")
        for triple in triples:
            axes = sorted(line.get("class") for line in triple.iter("line"))
            if axes != ["axis-x", "axis-y", "axis-z"]:
                fail(f"{name} {view_id}: an IMU's axes are {axes}")


def check_comparison(name, page, cameras):
    """One heat map per camera, each with its colour bar in pixels, and the
    older rig in every view."""
    maps = [ElementTree.fromstring(svg) for svg in svgs(page) if 'class="heat-map"' in svg]
    if sorted(m.get("data-camera") for m in maps) != [str(i) for i in range(cameras)]:
        fail(f"{name}: heat maps of cameras {[m.get('data-camera') for m in maps]}, "
             f"expected one each of {cameras}")
    for heat_map in maps:
        bars = [r for r in heat_map.iter("rect") if r.get("class") == "colour-bar"]
        if len(bars) != 1 or "px" not in [t.text for t in heat_map.iter("text")]:
            fail(f"{name}: heat map of camera {heat_map.get('data-camera')} has no colour bar in px")
    for view_id in VIEWS:
        if not groups(view(page, view_id), "older-rig"):
            fail(f"{name} {view_id}: no older rig drawn")


def camera_offset_mm(page, camera, view_id="rig-top"):
    """The camera's centre from the head origin, in millimetres on the page."""
    svg = view(page, view_id)
    scale = float(svg.get("data-px-per-mm"))
    head = next(c for c in svg.iter("circle") if c.get("class") == "head-origin")
    centre = next(c for c in svg.iter("circle")
                  if c.get("class") == "camera-centre" and c.get("data-camera") == str(camera))
    return ((float(centre.get("cx")) - float(head.get("cx"))) / scale,
            (float(centre.get("cy")) - float(head.get("cy"))) / scale)


def check_camera_follows_extrinsics(workspace, original_page):
    """The bundled camera 1 is in CAD form (millimetres) under an IMU that is
    not turned: +10 mm in x moves it right in the top view, +10 mm in z up."""
    with open(os.path.join(EXAMPLES, "calibration.json"), encoding="utf-8") as text:
        document = json.load(text)
    before = camera_offset_mm(original_page, 1)
    # Each of the four coordinates compared is rounded to a tenth of a unit.
    tolerance = 0.2 / float(view(original_page, "rig-top").get("data-px-per-mm"))
    for axis, expected in ((0, (10.0, 0.0)), (2, (0.0, -10.0))):
        moved = copy.deepcopy(document)
        moved["cameras"][1]["extrinsics"]["position"][axis] += 10.0
        path = os.path.join(workspace, f"moved-{axis}.json")
        with open(path, "w", encoding="utf-8") as text:
            json.dump(moved, text)
        after = camera_offset_mm(render("--json", path, workspace, f"moved-{axis}"), 1)
        shift = (after[0] - before[0], after[1] - before[1])
        if any(abs(s - e) > tolerance for s, e in zip(shift, expected)):
            fail(f"camera 1 moved +10 mm along axis {axis} shifted by {shift} mm in the top view, "
                 f"expected {expected}")


def main():
    workspace = tempfile.mkdtemp(prefix="report-pages-")
    cases = [
        ("calibration", "--json", os.path.join(EXAMPLES, "calibration.json"), 2, 1),
        ("device_config", "--json", os.path.join(EXAMPLES, "device_config.json"), None, None),
        ("calibration-blob", "--bin", os.path.join(GOLDEN, "calibration.bin"), 2, 1),
        ("device_config-blob", "--bin", os.path.join(GOLDEN, "device_config.bin"), None, None),
        ("damaged-blob", "--bin", damaged_blob(PROJECT, workspace), 2, 1),
        ("compared", "--json", os.path.join(EXAMPLES, "calibration.json"), 2, 1,
         ("--old", os.path.join(GOLDEN, "calibration.bin"))),
    ]
    pages = {}
    for name, argument, path, cameras, imus, *extra in cases:
        page = render(argument, path, workspace, name, *extra)
        if not page:
            continue
        pages[name] = page
        check_well_formed(name, page)
        check_self_contained(name, page)
        if cameras is not None:
            check_rig_counts(name, page, cameras, imus)
    if "calibration" in pages:
        size = len(pages["calibration"].encode("utf-8"))
        if size > MAX_EXAMPLE_PAGE_BYTES:
            fail(f"the example's page takes {size} bytes, more than {MAX_EXAMPLE_PAGE_BYTES}")
        check_camera_follows_extrinsics(workspace, pages["calibration"])
    if "compared" in pages:
        check_comparison("compared", pages["compared"], 2)
    if "damaged-blob" in pages and "CRC-32 does not match" not in pages["damaged-blob"]:
        fail("the damaged blob's page does not show the CRC mismatch")
    print(f"{len(pages)} pages rendered, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
