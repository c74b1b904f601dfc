"""The module and the program built beside it give the same results: texts,
blobs, findings, listings and differences."""

import json
import math
import pathlib
import warnings

import pytest

import ravelin
from conftest import GOLDEN, KINDS, SOURCE, log_lines, run_ravelin

DAMAGED = sorted((GOLDEN / "inspect").glob("*.bin"))
CORPUS = sorted(
    path
    for folder in ("blob_dispatch", "calibration_decoder", "device_config_decoder")
    for path in (SOURCE / "fuzz" / "corpus" / folder).iterdir()
)


def example_text(kind):
    return (SOURCE / "examples" / f"{kind}.json").read_text()


def golden_blob(kind):
    return (GOLDEN / f"{kind}.bin").read_bytes()


def test_the_version_is_the_programs(tmp_path):
    assert run_ravelin("--version", cwd=tmp_path).stdout == f"ravelin {ravelin.__version__}\n".encode()


@pytest.mark.parametrize("kind", KINDS)
def test_decode_text_is_the_file_decode_writes(kind, tmp_path):
    blob = golden_blob(kind)
    ran = run_ravelin("decode", "--bin", GOLDEN / f"{kind}.bin", "--json", "out.json", cwd=tmp_path)
    assert ran.returncode == 0
    text = ravelin.decode_text(blob)
    assert text.encode() == (tmp_path / "out.json").read_bytes()
    assert ravelin.decode(blob) == json.loads(text)
    assert ravelin.decode(bytearray(blob)) == ravelin.decode(memoryview(blob))


@pytest.mark.parametrize("kind", KINDS)
def test_the_example_as_text_or_objects_encodes_to_the_golden_blob(kind):
    text = example_text(kind)
    assert ravelin.encode(text) == golden_blob(kind)
    assert ravelin.encode(json.loads(text)) == golden_blob(kind)
    assert ravelin.kind(text) == ravelin.kind(golden_blob(kind)) == kind


def finite(value):
    if isinstance(value, dict):
        return all(map(finite, value.values()))
    if isinstance(value, list):
        return all(map(finite, value))
    return value is not None and (not isinstance(value, float) or math.isfinite(value))


def encoded_by_the_program(path, cwd):
    """What the program encodes from what it decodes of the blob at `path`, or None."""
    run_ravelin("decode", "--bin", path, "--json", "back.json", "--force", cwd=cwd)
    ran = run_ravelin("encode", "--json", "back.json", "--bin", path.name, cwd=cwd)
    return (cwd / path.name).read_bytes() if ran.returncode == 0 else None


def test_every_whole_corpus_blob_of_finite_numbers_encodes_as_the_program_encodes_it(tmp_path):
    """Most such blobs encode back to themselves; one that does not (an
    enumeration value beyond its names, a section the encoder requires) must
    come back from the program as it comes back from the module."""
    whole = 0
    for path in CORPUS:
        blob = path.read_bytes()
        try:
            with warnings.catch_warnings():
                warnings.simplefilter("error")
                document = ravelin.decode(blob)
        except (ravelin.Error, ravelin.RavelinWarning):
            continue
        if not finite(document):
            continue
        try:
            encoded = ravelin.encode(document)
        except ravelin.EncodeError:
            encoded = None
        if encoded == blob:
            whole += 1
        else:
            assert encoded == encoded_by_the_program(path, tmp_path), path.name
    assert whole >= 20


def cli_findings(ran):
    """check's findings as the program logs them, without its summary lines."""
    return [
        (level, text)
        for level, text in log_lines(ran.stdout) + log_lines(ran.stderr)
        if level in ("error", "warning") and not text.startswith("Check of ")
    ]


def as_logged(findings):
    return [(f.level, f"{f.pointer} = {f.value}: {f.reason}") for f in findings]


def implausible_calibration():
    document = json.loads(example_text("calibration"))
    document["cameras"][0]["intrinsics"][0]["fx"] = -279.5
    document["cameras"][1]["width"] = 64000
    return document


@pytest.mark.parametrize("name", ["calibration", "device_config", "implausible"])
def test_check_finds_what_the_program_logs(name, tmp_path):
    document = implausible_calibration() if name == "implausible" else json.loads(example_text(name))
    (tmp_path / "in.json").write_text(json.dumps(document))
    ran = run_ravelin("check", "--json", "in.json", cwd=tmp_path)
    findings = ravelin.check(document)
    assert sorted(as_logged(findings)) == sorted(cli_findings(ran))
    assert findings.exit_code == ran.returncode
    assert (findings.exit_code == 0) == (name != "implausible")


@pytest.mark.parametrize("kind", KINDS)
def test_check_of_a_blob_agrees_with_the_program(kind, tmp_path):
    ran = run_ravelin("check", "--bin", GOLDEN / f"{kind}.bin", cwd=tmp_path)
    findings = ravelin.check(golden_blob(kind))
    assert sorted(as_logged(findings)) == sorted(cli_findings(ran))
    assert findings.exit_code == ran.returncode


@pytest.mark.parametrize("path", [GOLDEN / f"{kind}.bin" for kind in KINDS] + DAMAGED, ids=lambda p: p.stem)
def test_inspect_gives_the_elements_of_inspect_json(path, tmp_path):
    ran = run_ravelin("inspect", "--bin", path, "--json", "-", cwd=tmp_path)
    assert ravelin.inspect(path.read_bytes()) == json.loads(ran.stdout)


@pytest.mark.parametrize("path", [p for p in DAMAGED if not p.stem.startswith("unknown")], ids=lambda p: p.stem)
def test_a_damaged_blob_fails_or_warns_in_the_programs_words(path, tmp_path):
    ran = run_ravelin("decode", "--bin", path, "--json", "out.json", cwd=tmp_path)
    errors = [text.removeprefix("Unhandled exception: ") for level, text in log_lines(ran.stderr) if level == "error"]
    assert errors
    if ran.returncode != 0:
        with pytest.raises(ravelin.DecodeError) as raised:
            ravelin.decode(path.read_bytes())
        assert str(raised.value) == "\n".join(errors)
        return
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        ravelin.decode(path.read_bytes())
    told = "\n".join(str(warning.message) for warning in caught)
    # The program's last line names the file it wrote.
    assert all(error in told for error in errors if not error.startswith("Finished decoding"))
    crc_mismatch = any("did not match" in error for error in errors)
    assert [w.category for w in caught if w.category is ravelin.CrcMismatchWarning] == [ravelin.CrcMismatchWarning] * crc_mismatch


def test_verify_reports_the_differences_the_program_logs(tmp_path):
    document = json.loads(example_text("calibration"))
    document["cameras"][0]["intrinsics"][0]["fx"] = 279.50001
    document["cameras"][0]["serial"] = "changed"
    document["__note"] = "added"
    (tmp_path / "in.json").write_text(json.dumps(document))
    ran = run_ravelin("verify", "--json", "in.json", "--bin", GOLDEN / "calibration.bin", cwd=tmp_path)
    result = ravelin.verify(document, golden_blob("calibration"))
    logged = [line for line in log_lines(ran.stdout) + log_lines(ran.stderr) if "DIFF - " in line[1]]
    assert sorted(result.differences) == sorted(logged)
    assert {level for level, _ in result.differences} == {"error", "warning"}
    assert result.exit_code == ran.returncode == 5
    assert ravelin.verify(example_text("calibration"), golden_blob("calibration")) == (0, [])


def changed_example(kind):
    document = json.loads(example_text(kind))
    if kind == "calibration":
        document["cameras"][0]["intrinsics"][0]["fx"] += 2.0
        document["cameras"][1]["width"] = 1280
    else:
        document["display_frequency"] = 120
    return document


@pytest.mark.parametrize("kind", KINDS)
@pytest.mark.parametrize("new_as", ["document", "corrupt blob"])
def test_diff_gives_the_report_of_diff_json(kind, new_as, tmp_path):
    new = changed_example(kind)
    if new_as == "document":
        (tmp_path / "new").write_text(json.dumps(new))
    else:
        new = bytearray(ravelin.encode(new))
        new[len(new) // 2] ^= 0x01
        (tmp_path / "new").write_bytes(new)
    ran = run_ravelin("diff", "--old", GOLDEN / f"{kind}.bin", "--new", "new", "--json", "-", cwd=tmp_path)
    report = ravelin.diff(golden_blob(kind), new)
    assert report == json.loads(ran.stdout)
    assert report["verdict"] == "beyond"
    assert ravelin.diff(example_text(kind), golden_blob(kind))["verdict"] == "identical"
