#!/usr/bin/env python3
"""The JSON Schemas agree with the encoders: the examples and golden decoded
documents validate; every document of the encoder fuzz corpora that an encoder
accepts validates against its kind's schema (a schema may be looser than its
encoder, never stricter); and changed examples get the same verdict from both.

    schema_test.py SOURCE_DIR ENCODER_VERDICTS
"""

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

KINDS = {"calibration": "compact_calibration", "device_config": "device_config"}


def spline(document):
    return next(entry for camera in document["cameras"] for entry in camera["intrinsics"]
                if entry["cameraModel"] == "kb_spline")


def eye(document):
    return document["tracking_to_eye_transform"][0]


# Changes to an example and whether the encoder, and so the schema, accepts
# the result: refused for reasons a schema can see, or accepted where a schema
# would easily be stricter than the encoder.
CHANGES = [
    ("calibration", "no metadata", False, lambda d: d.pop("metadata")),
    ("calibration", "width as a string", False, lambda d: d["cameras"][0].update(width="640")),
    ("calibration", "fraction beyond 16 bits", False,
     lambda d: d["cameras"][0].update(width=65536.5)),
    ("calibration", "matrix of 15", False, lambda d: d["cameras"][0].update(extrinsics=[0] * 15)),
    ("calibration", "unknown camera model", False,
     lambda d: d["cameras"][0]["intrinsics"][0].update(cameraModel="pinhole")),
    ("calibration", "24 spline values", False, lambda d: spline(d).update(sU=[0] * 24)),
    ("calibration", "flag as a string", False, lambda d: d["imus"][0].update(is_bias_metric="1")),
    ("calibration", "beyond float32", False,
     lambda d: d["metadata"].update(dataset_duration_in_sec=3.5e38)),
    ("calibration", "booleans as numbers, integers beyond 16 bits", True,
     lambda d: (d["cameras"][0].update(width=True, height=-70000),
                d["metadata"].update(dataset_duration_in_sec=False))),
    ("calibration", "spline keys of a kb model", True,
     lambda d: d["cameras"][0]["intrinsics"][0].update(sU="ignored")),
    ("calibration", "optionals and CAD lists of other kinds", True,
     lambda d: (d["cameras"][0].update(cropRegion=5), d["cad"].update(cameras={}))),
    ("device_config", "$schema key", False, lambda d: d.update({"$schema": "device_config.json"})),
    ("device_config", "one eye", False, lambda d: d["tracking_to_eye_transform"].pop()),
    ("device_config", "negative pid", False, lambda d: d.update(device_pid=-1)),
    ("device_config", "9 coefficients", False, lambda d: eye(d)["distortion"]["coeffs"].append(0)),
    ("device_config", "matrix row of 4", False, lambda d: eye(d)["eye_to_head"][1].append(0)),
    ("device_config", "cv a number", False, lambda d: d.update(cv=7)),
    ("device_config", "optional fields of other kinds", True,
     lambda d: d.update(display_frequency=1e10, revision="3", display_edid=[1, 2, 3], cv=None)),
]


def first_error(validator, document):
    error = next(validator.iter_errors(document), None)
    return error and f"{error.json_path}: {error.message}"


def verdicts_of(program, paths):
    """The verdicts program's answer for each path, in order, from one run."""
    output = subprocess.run([program, *map(str, paths)], check=True, capture_output=True,
                            text=True).stdout
    return [json.loads(line) for line in output.splitlines()]


def check(source, program, scratch):
    validators = {}
    for kind, name in KINDS.items():
        schema = json.loads((source / "schemas" / f"{name}.schema.json").read_text())
        Draft202012Validator.check_schema(schema)
        validators[kind] = Draft202012Validator(schema)
    references = [(source / folder / f"{kind}{suffix}.json", kind) for kind in KINDS
                  for folder, suffix in (("examples", ""), ("tests/golden", ".decoded"))]
    changed = []
    for index, (kind, name, accepts, change) in enumerate(CHANGES):
        document = json.loads((source / "examples" / f"{kind}.json").read_text())
        change(document)
        (scratch / f"{index}.json").write_text(json.dumps(document))
        changed.append((scratch / f"{index}.json", kind, name, accepts))
    corpus = sorted(path for kind in KINDS
                    for path in (source / "fuzz/corpus" / f"{kind}_encoder").iterdir())
    verdicts = verdicts_of(program, [path for path, *_ in references + changed] + corpus)

    for verdict, (path, kind) in zip(verdicts, references):
        if kind not in verdict["accepted_by"]:
            yield f"{path}: the {kind} encoder refuses it"
        elif error := first_error(validators[kind], verdict["document"]):
            yield f"{path}: {error}"
    for verdict, (path, kind, name, accepts) in zip(verdicts[len(references):], changed):
        document = json.loads(path.read_text())
        if (kind in verdict["accepted_by"]) != accepts:
            yield f"{name}: the {kind} encoder {'refuses' if accepts else 'accepts'} it"
        if (first_error(validators[kind], document) is None) != accepts:
            yield f"{name}: the {kind} schema {'refuses' if accepts else 'accepts'} it"
    accepted = {kind: 0 for kind in KINDS}
    for verdict in verdicts[len(references) + len(changed):]:
        for kind in verdict["accepted_by"]:
            accepted[kind] += 1
            if error := first_error(validators[kind], verdict["document"]):
                yield f"{verdict['path']}: accepted by the {kind} encoder, refused at {error}"
    print(f"corpus documents accepted by each encoder: {accepted}")
    yield from (f"no corpus document is accepted by the {kind} encoder"
                for kind, count in accepted.items() if count == 0)


def main(source_dir, program):
    with tempfile.TemporaryDirectory() as scratch:
        failures = list(check(pathlib.Path(source_dir), program, pathlib.Path(scratch)))
    for failure in failures:
        print(f"FAIL: {failure}", file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
