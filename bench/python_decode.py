"""The Python row of scripts/bench.sh: ravelin.decode of a blob against
json.loads of the text decode writes for it and, when cbor2 is installed,
cbor2.loads of the same document's CBOR encoding; in one process, the three
timed in turn so that they share the machine's load, in CPU time, which
other jobs on the machine disturb less than wall time.

    python_decode.py BLOB [LIMIT]

Prints a Markdown table, then the target line: decode / json.loads <= LIMIT
(default 2).
"""

import json
import sys
import time
import timeit

import ravelin

try:
    import cbor2
except ImportError:
    cbor2 = None

ROUNDS = 25
TARGET_SECONDS_PER_ROUND = 0.2


def main(blob_path, limit=2.0):
    with open(blob_path, "rb") as blob_file:
        blob = blob_file.read()
    text = ravelin.decode_text(blob)
    document = ravelin.decode(blob)
    assert json.loads(text) == document
    calls = {"ravelin.decode": lambda: ravelin.decode(blob), "json.loads": lambda: json.loads(text)}
    if cbor2 is not None:
        encoded = cbor2.dumps(document)
        assert cbor2.loads(encoded) == document
        calls["cbor2.loads"] = lambda: cbor2.loads(encoded)

    timers = {name: timeit.Timer(call, timer=time.process_time) for name, call in calls.items()}
    number = max(1, int(TARGET_SECONDS_PER_ROUND / timers["json.loads"].timeit(number=1)))
    best = {name: float("inf") for name in calls}
    for _ in range(ROUNDS):
        for name, timer in timers.items():
            best[name] = min(best[name], timer.timeit(number=number) / number)

    print(f"Blob {len(blob)} bytes, its text {len(text.encode())} bytes; CPU time, best of {ROUNDS} rounds of {number} calls each.")
    print()
    print("| call | time | / json.loads |")
    print("|---|---:|---:|")
    for name, seconds in best.items():
        print(f"| {name} | {seconds * 1e6:.1f} µs | {seconds / best['json.loads']:.2f} |")
    if cbor2 is None:
        print("| cbor2.loads | (python3-cbor2 not installed) | |")
    ratio = best["ravelin.decode"] / best["json.loads"]
    verdict = "holds" if ratio <= limit else "MISSED"
    print()
    print(f"{'ravelin.decode / json.loads (Python)':<60} {ratio:9.3f} <= {limit:<6g} {verdict}")


if __name__ == "__main__":
    main(sys.argv[1], *map(float, sys.argv[2:3]))
