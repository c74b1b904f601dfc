#!/usr/bin/env python3
"""The JSON Schemas agree with the encoders.

The examples and the golden decoded documents validate; every document of the
encoders' fuzz corpora that an encoder accepts validates against its kind's
schema (a schema may be looser than its encoder, never stricter); and
documents refused for a reason a schema can see are refused by it too.

    schema_test.py SOURCE_DIR ENCODER_VERDICTS
"""

import copy
import json
import pathlib
import subprocess
import sys
import tempfile

SKIPPED = 77

try:
    from jsonschema import Draft202012Validator
except ImportError:
    print("skipped: no jsonschema module for this Python (Debian's python3-jsonschema)")
    sys.exit(SKIPPED)

SCHEMAS = {
    "calibration": "compact_calibration.schema.json",
    "device_config": "device_config.schema.json",
}


def spline_intrinsics(document):
    return next(entry for camera in document["cameras"] for entry in camera["intrinsics"]
                if entry["cameraModel"] == "kb_spline")


def first_eye(document):
    return document["tracking_to_eye_transform"][0]


# Changes to a valid example, and whether its encoder (and so its schema)
# accepts the result: the refused ones for a reason the schema can see, the
# accepted ones where a schema would easily be stricter than its encoder.
CHANGES = [
    ("calibration", "no metadata", False, lambda d: d.pop("metadata")),
    ("calibration", "width as a string", False, lambda d: d["cameras"][0].update(width="640")),
    ("calibration", "fractional width beyond 16 bits", False,
     lambda d: d["cameras"][0].update(width=65536.5)),
    ("calibration", "matrix of 15 numbers", False,
     lambda d: d["cameras"][0].update(extrinsics=[0.0] * 15)),
    ("calibration", "unknown camera model", False,
     lambda d: d["cameras"][0]["intrinsics"][0].update(cameraModel="pinhole")),
    ("calibration", "24 spline values", False, lambda d: spline_intrinsics(d).update(sU=[0] * 24)),
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
    ("device_config", "9 coefficients", False,
     lambda d: first_eye(d)["distortion"]["coeffs"].append(0.0)),
    ("device_config", "matrix row of 4", False,
     lambda d: first_eye(d)["eye_to_head"][1].append(0.0)),
    ("device_config", "cv a number", False, lambda d: d.update(cv=7)),
    ("device_config", "optional fields of other kinds", True,
     lambda d: d.update(display_frequency=1e10, revision="3", display_edid=[1, 2, 3], cv=None)),
]


def verb(accepts):
    return "accept" if accepts else "refuse"


def first_error(validator, document):
    error = next(validator.iter_errors(document), None)
    return None if error is None else f"{error.json_path}: {error.message}"


def load_validators(source):
    validators = {}
    for kind, name in SCHEMAS.items():
        schema = json.loads((source / "schemas" / name).read_text())
        Draft202012Validator.check_schema(schema)
        validators[kind] = Draft202012Validator(schema)
    return validators


def changed_examples(source):
    examples = {kind: json.loads((source / "examples" / f"{kind}.json").read_text())
                for kind in SCHEMAS}
    for kind, name, accepts, change in CHANGES:
        document = copy.deepcopy(examples[kind])
        change(document)
        yield kind, name, accepts, document


def read_verdicts(program, paths):
    """Runs the verdicts program once over every path; its lines, in order."""
    output = subprocess.run([program, *map(str, paths)], check=True, capture_output=True,
                            text=True).stdout
    return [json.loads(line) for line in output.splitlines()]


def check_references(verdicts, validators):
    for verdict, kind in verdicts:
        if kind not in verdict["accepted_by"]:
            yield f"{verdict['path']}: the {kind} encoder refuses it"
        elif error := first_error(validators[kind], verdict["document"]):
            yield f"{verdict['path']}: {error}"


def check_changes(verdicts, changed, validators):
    for verdict, (kind, name, accepts, document) in zip(verdicts, changed):
        if (kind in verdict["accepted_by"]) != accepts:
            yield f"{name}: the {kind} encoder does not {verb(accepts)} it"
        if (first_error(validators[kind], document) is None) != accepts:
            yield f"{name}: the {kind} schema does not {verb(accepts)} it"


def check_corpora(verdicts, validators, accepted):
    for verdict in verdicts:
        for kind in verdict["accepted_by"]:
            accepted[kind] += 1
            if error := first_error(validators[kind], verdict["document"]):
                yield f"{verdict['path']}: accepted by the {kind} encoder, refused at {error}"
    for kind, count in accepted.items():
        if count == 0:
            yield f"no corpus document is accepted by the {kind} encoder"


def main(source_dir, program):
    source = pathlib.Path(source_dir)
    validators = load_validators(source)
    references = {source / "examples" / f"{kind}.json": kind for kind in SCHEMAS}
    references.update({source / "tests/golden" / f"{kind}.decoded.json": kind for kind in SCHEMAS})
    changed = list(changed_examples(source))
    corpora = [source / "fuzz/corpus/calibration_encoder",
               source / "fuzz/corpus/device_config_encoder"]
    with tempfile.TemporaryDirectory() as scratch:
        changed_paths = [pathlib.Path(scratch) / f"{index}.json" for index in range(len(changed))]
        for path, (_, _, _, document) in zip(changed_paths, changed):
            path.write_text(json.dumps(document))
        verdicts = read_verdicts(program, [*references, *changed_paths, *corpora])

    first_corpus_line = len(references) + len(changed)
    accepted = {kind: 0 for kind in SCHEMAS}
    failures = [
        *check_references(zip(verdicts, references.values()), validators),
        *check_changes(verdicts[len(references):first_corpus_line], changed, validators),
        *check_corpora(verdicts[first_corpus_line:], validators, accepted),
    ]
    for failure in failures:
        print(f"FAIL: {failure}", file=sys.stderr)
    print(f"corpus documents accepted by each encoder: {accepted}; changed examples: {len(changed)}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
