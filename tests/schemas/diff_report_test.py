#!/usr/bin/env python3
"""The reports that ravelin diff writes validate against their schema: for
identical documents, for documents changed in every section (figures that
cannot be computed included), for device configs and for a corrupt blob; and
each report's verdict is the one its exit status gives.

    diff_report_test.py SOURCE_DIR RAVELIN
"""

import copy
import json
import pathlib
import subprocess
import sys
import tempfile

try:
    from jsonschema import Draft202012Validator
except ImportError:
    print("skipped: no jsonschema module for this Python (Debian's python3-jsonschema)")
    sys.exit(77)

VERDICTS = {0: "identical", 6: "within", 5: "beyond"}


def changed_calibration(document):
    changed = copy.deepcopy(document)
    camera = changed["cameras"][0]
    camera["intrinsics"][0]["fx"] = None  # no lens to project: null figures
    camera["extrinsics"][3] = -0.0645
    changed["cameras"][1]["intrinsics"][1]["sU"][3] = 0.5
    changed["cameras"][1]["serial"] = "LC-99"
    changed["imus"][0]["bias_accel"][0] = 0.5
    changed["imus"][0]["scaleFactors_gyro"][0] = 0.985
    changed["imus"][0]["gyroBiasStdPerMinute"] = 0.01
    changed["cad"]["imus"].append(changed["cad"]["imus"][0])
    changed["metadata"]["date"] = "2026-01-01"
    return changed


def changed_device_config(document):
    changed = copy.deepcopy(document)
    changed["tracking_to_eye_transform"][0]["eye_to_head"][0][2] = -0.0335
    changed["device_serial_number"] = "HMD-2203-000418"
    return changed


def pairs(source, scratch, ravelin):
    calibration = json.loads((source / "examples/calibration.json").read_text())
    device_config = json.loads((source / "examples/device_config.json").read_text())
    files = {}
    for name, document in [("calibration", calibration),
                           ("calibration-changed", changed_calibration(calibration)),
                           ("device-config", device_config),
                           ("device-config-changed", changed_device_config(device_config))]:
        files[name] = scratch / f"{name}.json"
        files[name].write_text(json.dumps(document))
    blob = scratch / "calibration.bin"
    subprocess.run([ravelin, "encode", "--json", files["calibration"], "--bin", blob, "--quiet"],
                   check=True)
    damaged = bytearray(blob.read_bytes())
    damaged[12] ^= 0xFF
    blob.write_bytes(bytes(damaged))
    return [("identical", files["calibration"], files["calibration"]),
            ("calibration changed", files["calibration"], files["calibration-changed"]),
            ("device config changed", files["device-config"], files["device-config-changed"]),
            ("corrupt blob", blob, files["calibration"])]


def check(source, ravelin, scratch):
    schema = json.loads((source / "schemas/diff_report.schema.json").read_text())
    Draft202012Validator.check_schema(schema)
    validator = Draft202012Validator(schema)
    verdicts = set()
    for name, older, newer in pairs(source, scratch, ravelin):
        run = subprocess.run([ravelin, "diff", "--old", older, "--new", newer, "--json", "-",
                              "--quiet"], capture_output=True, text=True)
        report = json.loads(run.stdout)
        verdicts.add(report["verdict"])
        if VERDICTS.get(run.returncode) != report["verdict"]:
            yield f"{name}: exit status {run.returncode}, verdict {report['verdict']}"
        for error in validator.iter_errors(report):
            yield f"{name}: {error.json_path}: {error.message}"
    if verdicts != {"identical", "beyond"}:
        yield f"verdicts seen: {sorted(verdicts)}"


def main(source_dir, ravelin):
    with tempfile.TemporaryDirectory() as scratch:
        failures = list(check(pathlib.Path(source_dir), ravelin, pathlib.Path(scratch)))
    for failure in failures:
        print(f"FAIL: {failure}", file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
