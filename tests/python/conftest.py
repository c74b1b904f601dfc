"""What the Python module's tests share: the source tree, the built program
and the hostile input tests' worst-case blob."""

import os
import pathlib
import re
import subprocess

import pytest

SOURCE = pathlib.Path(os.environ["RAVELIN_SOURCE_DIR"])
GOLDEN = SOURCE / "tests" / "golden"
KINDS = ("calibration", "device_config")


def run_ravelin(*arguments, cwd):
    """The built program's run, its log uncoloured."""
    return subprocess.run(
        [os.environ["RAVELIN_EXE"], *map(str, arguments)],
        cwd=cwd,
        capture_output=True,
        env={**os.environ, "NO_COLOR": "1"},
        check=False,
    )


_LOG_LINE = re.compile(r"^\[(ERROR|WARNING|SUCCESS|INFO)\] ", re.MULTILINE)


def log_lines(stream: bytes):
    """(level, text) of each log line in `stream`, level in lower case; a
    text may span lines."""
    parts = _LOG_LINE.split(stream.decode())
    return [(level.lower(), text.removesuffix("\n")) for level, text in zip(parts[1::2], parts[2::2])]


@pytest.fixture(scope="session")
def worst_case_blob(tmp_path_factory) -> bytes:
    path = tmp_path_factory.mktemp("hostile") / "smallest.bin"
    subprocess.run([os.environ["RAVELIN_HOSTILE_BLOB_WRITER"], str(path)], check=True)
    return path.read_bytes()
