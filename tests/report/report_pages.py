"""What the report page tests share."""
import os
import sys


def damaged_blob(project, workspace):
    """The golden calibration blob with its stored CRC-32 spoilt: damaged, yet
    decodable, so that it still has a page."""
    with open(os.path.join(project, "tests", "golden", "calibration.bin"), "rb") as blob:
        data = bytearray(blob.read())
    data[12] ^= 0xFF  # the stored CRC-32
    path = os.path.join(workspace, "damaged.bin")
    with open(path, "wb") as blob:
        blob.write(data)
    return path


def missing(tool, package):
    """Skips the test (exit 77) for want of a tool, unless RAVELIN_REQUIRE_TOOLS
    is set, as continuous integration sets it: there the project's own script
    has installed every tool, and a test that cannot run has failed."""
    if os.environ.get("RAVELIN_REQUIRE_TOOLS"):
        print(f"FAIL: {tool} is missing, and RAVELIN_REQUIRE_TOOLS is set")
        sys.exit(1)
    print(f"skipped: {tool} is not installed (scripts/install-deps.sh installs {package})")
    sys.exit(77)
