"""A long-lived process keeps nothing of what it decoded."""

import os

import ravelin

PAGE = os.sysconf("SC_PAGE_SIZE")


def resident_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * PAGE


def test_a_thousand_decodes_of_the_worst_case_keep_no_memory(worst_case_blob):
    for _ in range(3):
        ravelin.decode(worst_case_blob)
    before = resident_bytes()
    for _ in range(1000):
        ravelin.decode(worst_case_blob)
    assert resident_bytes() - before <= 10 << 20
