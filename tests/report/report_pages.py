"""What the report page tests share."""
import os


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
