"""Threads share the module: results do not depend on them, and the GIL is
free while C++ works."""

import sys
import threading
import time
import warnings

import ravelin
from conftest import GOLDEN, KINDS, SOURCE

THREADS = 8


def corpus_blobs():
    """The golden blobs and the decoders' corpus blobs that decode whole,
    without a warning, and encode again."""
    blobs = [(GOLDEN / f"{kind}.bin").read_bytes() for kind in KINDS]
    for folder in ("calibration_decoder", "device_config_decoder"):
        for path in sorted((SOURCE / "fuzz" / "corpus" / folder).iterdir()):
            try:
                with warnings.catch_warnings():
                    warnings.simplefilter("error")
                    ravelin.encode(ravelin.decode(path.read_bytes(), strict=True))
                blobs.append(path.read_bytes())
            except (ravelin.Error, ravelin.RavelinWarning):
                pass
    return blobs


def results_of(blob):
    document = ravelin.decode(blob)
    return document, ravelin.encode(document), ravelin.check(blob)


def test_eight_threads_give_what_one_thread_gives():
    blobs = corpus_blobs()
    assert len(blobs) >= THREADS
    expected = [results_of(blob) for blob in blobs]
    rounds = [0] * THREADS
    mismatches = []
    deadline = time.monotonic() + 1

    def work(thread):
        i = thread
        while time.monotonic() < deadline or rounds[thread] == 0:
            try:
                if results_of(blobs[i % len(blobs)]) != expected[i % len(blobs)]:
                    mismatches.append(i % len(blobs))
            except Exception as error:  # a thread's exception would not fail the test
                mismatches.append(repr(error))
            i += THREADS
            rounds[thread] += 1

    threads = [threading.Thread(target=work, args=(t,)) for t in range(THREADS)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert mismatches == []
    assert min(rounds) >= 1


def test_a_python_thread_runs_while_a_long_decode_works(worst_case_blob):
    """While one thread keeps the GIL through a call, another runs Python
    only in its turns at the call's start and end, each a switch interval
    long. The counting thread must count, while the decode of the worst case
    works, a 25th of what it counts alone in as much CPU time as the decode
    takes: hundreds of turns' worth, which it reaches only if the decode lets
    go of the GIL. Measured: a half or more with the GIL let go, even on a
    machine loaded thirty times over; a 120th with the GIL kept."""
    interval = 0.0001
    previous = sys.getswitchinterval()
    sys.setswitchinterval(interval)
    done = threading.Event()
    counted = [0]

    def count():
        while not done.is_set():
            counted[0] += 1

    counter = threading.Thread(target=count)
    counter.start()
    try:
        clock = time.pthread_getcpuclockid(counter.ident)
        alone = time.clock_gettime(clock), counted[0]
        time.sleep(0.1)
        per_cpu_second = (counted[0] - alone[1]) / (time.clock_gettime(clock) - alone[0])

        before = time.thread_time(), counted[0]
        ravelin.decode_text(worst_case_blob)
        decode_cpu_seconds = time.thread_time() - before[0]
        during = counted[0] - before[1]
    finally:
        done.set()
        counter.join()
        sys.setswitchinterval(previous)
    assert decode_cpu_seconds > 100 * interval, "the decode is too short to tell"
    assert during > per_cpu_second * decode_cpu_seconds / 25
