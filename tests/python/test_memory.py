"""A long-lived process keeps nothing of what it decoded."""

import os

import ravelin

PAGE = os.sysconf("SC_PAGE_SIZE")
MIB = 1 << 20


def resident_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * PAGE


def test_repeated_decodes_of_the_worst_case_keep_no_memory(worst_case_blob):
    """Ten decodes, not a thousand: each takes a third of a second, and the
    document of the worst case takes 24 MiB, so ten leaked documents would
    grow the process by 240 MiB, 24 times the bound."""
    ravelin.decode(worst_case_blob)
    before = resident_bytes()
    for _ in range(10):
        ravelin.decode(worst_case_blob)
    assert resident_bytes() - before <= 10 * MIB
