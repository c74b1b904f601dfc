"""Each failure raises its class with the program's own words, prints
nothing, and leaves the process as it was."""

import json
import math
import os
import warnings

import pytest

import ravelin
from conftest import GOLDEN, SOURCE

BLOB = (GOLDEN / "calibration.bin").read_bytes()
EXAMPLE = json.loads((SOURCE / "examples" / "calibration.json").read_text())


def example_with(path, value):
    """The example calibration with the member at `path` set to `value`, or
    removed when `value` is ...."""
    document = json.loads(json.dumps(EXAMPLE))
    parent = document
    for step in path[:-1]:
        parent = parent[step]
    if value is ...:
        del parent[path[-1]]
    else:
        parent[path[-1]] = value
    return document


def nested(depth):
    document = []
    for _ in range(depth - 1):
        document = [document]
    return document


def corrupted(blob):
    flipped = bytearray(blob)
    flipped[len(blob) // 2] ^= 0xFF
    return bytes(flipped)


NESTS_TOO_DEEP = "JSON input nests deeper than 512 levels"

# (name, call, class, message). The first row is a control: it must not raise.
CASES = [
    ("control", lambda: ravelin.decode(BLOB), None, None),
    (
        "truncated body",
        lambda: ravelin.decode(BLOB[:20]),
        ravelin.DecodeError,
        "Blob body truncated: the header announces 1229 bytes, only 4 follow it\nblob body truncated",
    ),
    (
        "truncated header",
        lambda: ravelin.decode_text(BLOB[:5]),
        ravelin.DecodeError,
        "Blob got truncated while reading. BlobID 6Header, only 5 bytes left\n"
        "blob truncated while reading 6Header",
    ),
    ("wrong magic", lambda: ravelin.decode(b"XXXX" + BLOB[4:]), ravelin.DecodeError, "Unrecognized binary magic"),
    (
        "over the limit",
        lambda: ravelin.inspect(bytes((1 << 20) + 1)),
        ravelin.DecodeError,
        "Input blob is 1048577 bytes; blobs above 1048576 bytes are refused",
    ),
    ("crc, strict", lambda: ravelin.decode(corrupted(BLOB), strict=True), ravelin.CrcMismatch, "Indicates file corruption."),
    (
        "missing key",
        lambda: ravelin.encode(example_with(["cameras", 0, "intrinsics", 0, "fx"], ...)),
        ravelin.EncodeError,
        "missing required key 'fx' in cameras[0].intrinsics[0]",
    ),
    (
        "wrong type",
        lambda: ravelin.encode(example_with(["cameras", 0, "width"], "wide")),
        ravelin.EncodeError,
        "type must be number, but is string",
    ),
    (
        "NaN in an integer",
        lambda: ravelin.encode(example_with(["cameras", 0, "width"], math.nan)),
        ravelin.EncodeError,
        "'width' in cameras[0] is null, outside the range of an unsigned 16-bit integer",
    ),
    (
        "neither kind",
        lambda: ravelin.check({"cameras": 3}),
        ravelin.EncodeError,
        "Provided JSON does not contain a valid cameras section!! You either passed in the wrong file or "
        "there is something wrong with the calibration\nInput JSON is neither compact calibration nor "
        "device_config format.",
    ),
    ("not JSON", lambda: ravelin.kind("{"), ravelin.EncodeError, "[json.exception.parse_error.101]"),
    (
        "text over the limit",
        lambda: ravelin.kind(" " * ((20 << 20) + 1)),
        ravelin.EncodeError,
        "Input JSON is 20971521 bytes; texts above 20971520 bytes are refused",
    ),
    (
        "blob over the limit",
        lambda: ravelin.encode({**EXAMPLE, "cameras": EXAMPLE["cameras"] * 1500}),
        ravelin.EncodeError,
        "bytes, more than the 1048576 bytes that ravelin reads back. Nothing written.\nencoded blob of ",
    ),
    ("text nests too deep", lambda: ravelin.encode("[" * 513 + "]" * 513), ravelin.EncodeError, NESTS_TOO_DEEP),
    ("list nests too deep", lambda: ravelin.encode(nested(513)), ravelin.EncodeError, NESTS_TOO_DEEP),
    ("verify of another kind", lambda: ravelin.verify({"device": {}}, BLOB), ravelin.EncodeError, "JSON is not in compact calibration format. Exiting"),
    (
        "diff of two kinds",
        lambda: ravelin.diff(BLOB, {"device": {}, "tracking_to_eye_transform": []}),
        ravelin.Error,
        "old is a compact calibration and new is a device config: diff compares two documents of one kind",
    ),
    ("not JSON's type", lambda: ravelin.encode({"cameras": {1, 2}}), TypeError, "not a JSON value: set"),
    ("key not a str", lambda: ravelin.encode({1: 2}), TypeError, "keys must be str, not int"),
    ("a str for a blob", lambda: ravelin.decode("blob"), TypeError, None),
]


@pytest.mark.parametrize("call, error, message", [case[1:] for case in CASES], ids=[case[0] for case in CASES])
def test_raises_its_class_with_the_programs_message_and_prints_nothing(call, error, message, capfd):
    if error is None:
        call()
    else:
        with pytest.raises(error) as raised:
            call()
        assert message is None or message in str(raised.value)
    assert capfd.readouterr() == ("", "")


def test_the_classes_form_one_hierarchy_under_value_error():
    assert issubclass(ravelin.Error, ValueError)
    for error in (ravelin.DecodeError, ravelin.EncodeError):
        assert issubclass(error, ravelin.Error)
    assert issubclass(ravelin.CrcMismatch, ravelin.DecodeError)
    assert issubclass(ravelin.CrcMismatchWarning, ravelin.RavelinWarning)
    assert issubclass(ravelin.RavelinWarning, UserWarning)


def test_nesting_at_the_limit_is_read():
    with pytest.raises(ravelin.EncodeError, match="neither compact calibration"):
        ravelin.encode(nested(512))
    with pytest.raises(ravelin.EncodeError, match="neither compact calibration"):
        ravelin.encode("[" * 512 + "]" * 512)


def test_a_crc_mismatch_warns_and_still_gives_the_document():
    with pytest.warns(ravelin.CrcMismatchWarning, match="did not match") as caught:
        document = ravelin.decode(corrupted(BLOB))
    assert len(caught) == 1
    assert caught[0].filename == __file__
    assert document.keys() == ravelin.decode(BLOB).keys()


def test_a_corrupt_blob_is_an_error_finding_of_check():
    with pytest.warns(ravelin.CrcMismatchWarning):
        findings = ravelin.check(corrupted(BLOB))
    assert findings[0] == ravelin.Finding("error", "", "", "Stored and computed CRC32 do not match: the blob is corrupt")
    assert findings.exit_code == 5


def test_what_the_encoder_warns_of_arrives_as_a_warning():
    document = example_with(["alternate_calibrations"], [])
    with pytest.warns(ravelin.RavelinWarning, match="alternate_calibrations section will be ignored"):
        assert ravelin.encode(document) == BLOB


def caught_signals():
    with open("/proc/self/status") as status:
        return next(line for line in status if line.startswith("SigCgt:"))


def test_no_call_changes_process_wide_state(tmp_path):
    before = (caught_signals(), os.getcwd(), os.umask(0o022))
    os.umask(before[2])
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        for case in CASES:
            try:
                case[1]()
            except (ravelin.Error, TypeError):
                pass
        ravelin.verify(EXAMPLE, BLOB)
        ravelin.inspect(BLOB)
    after = (caught_signals(), os.getcwd(), os.umask(0o022))
    os.umask(after[2])
    assert after == before
