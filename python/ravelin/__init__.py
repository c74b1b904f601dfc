"""Calibration blobs and their JSON documents, in memory.

The functions of this package do what the commands of the ``ravelin``
program do, through the same C++ code, on ``bytes`` and on the Python
objects that ``json.loads`` gives; a ``str`` where a document is expected is
JSON text. Nothing is printed: what the program logs arrives as return
values, as exceptions (``Error`` and its subclasses, carrying the program's
messages) or as warnings (``RavelinWarning``). The work in C++ runs without
the GIL, and no call changes process-wide state, so threads may share the
package freely.

    >>> import ravelin
    >>> doc = ravelin.decode(blob)
    >>> doc["cameras"][0]["intrinsics"][0]["fx"] = 281.5
    >>> blob = ravelin.encode(doc)
    >>> ravelin.check(blob).exit_code
    0
"""

import json
from typing import Any, Dict, List, NamedTuple, Tuple, Union

from ravelin import _ravelin
from ravelin._ravelin import (
    CrcMismatch,
    CrcMismatchWarning,
    DecodeError,
    EncodeError,
    Error,
    RavelinWarning,
    __version__,
)

__all__ = [
    "__version__",
    "Error",
    "DecodeError",
    "EncodeError",
    "CrcMismatch",
    "RavelinWarning",
    "CrcMismatchWarning",
    "Finding",
    "Findings",
    "VerifyResult",
    "decode",
    "decode_text",
    "encode",
    "kind",
    "verify",
    "check",
    "inspect",
    "diff",
]

for _class in (Error, DecodeError, EncodeError, CrcMismatch, RavelinWarning, CrcMismatchWarning):
    _class.__module__ = __name__

Blob = Union[bytes, bytearray, memoryview]
"""A blob: any object that exposes its bytes contiguously."""

Document = Union[Dict[str, Any], str]
"""A document: what ``json.loads`` gives, or JSON text."""


class Finding(NamedTuple):
    """One value that ``check`` finds implausible."""

    level: str
    """``"error"`` (certainly wrong) or ``"warning"`` (implausible)."""
    pointer: str
    """The JSON Pointer of the value judged; ``""`` for the whole blob."""
    value: str
    """That value as compact JSON, or the named parts the rule weighed."""
    reason: str
    """Why, with the numbers that decided it."""


class Findings(List[Finding]):
    """The findings of ``check``, in the order the program lists them."""

    exit_code: int
    """What ``ravelin check`` exits with: 0 (nothing found), 5 (an error) or
    6 (warnings only)."""

    def __init__(self, findings: List[Finding], exit_code: int) -> None:
        super().__init__(findings)
        self.exit_code = exit_code


class VerifyResult(NamedTuple):
    """The verdict of ``verify``."""

    exit_code: int
    """What ``ravelin verify`` exits with: 0 (the blob holds the document),
    5 (real differences) or 6 (only acceptable differences)."""
    differences: List[Tuple[str, str]]
    """Each difference as (level, text), level ``"error"`` or ``"warning"``,
    text as the program logs it."""


def decode(blob: Blob, *, strict: bool = False) -> Dict[str, Any]:
    """Decodes a calibration or device config blob.

    Args:
        blob: the blob's bytes, at most 1 MiB.
        strict: refuse a blob whose stored CRC32 does not match its body.

    Returns:
        The document ``ravelin decode`` writes, as ``json.loads`` reads it:
        floats rounded to 9 significant digits, ``None`` for a number that
        is not finite.

    Raises:
        DecodeError: the blob is of no known kind, damaged, larger than the
            limit, or holds text that is not UTF-8.
        CrcMismatch: with ``strict``, the CRC32 does not match. Without it,
            a ``CrcMismatchWarning`` is issued and the document returned.
    """
    return _ravelin.decode(blob, strict)


def decode_text(blob: Blob) -> str:
    """Decodes a blob to the JSON text ``ravelin decode`` writes for it.

    Args:
        blob: the blob's bytes, at most 1 MiB.

    Returns:
        The file ``ravelin decode`` writes, byte for byte.

    Raises:
        DecodeError: as ``decode``; a CRC32 mismatch is a ``CrcMismatchWarning``.
    """
    return _ravelin.decode_text(blob)


def encode(document: Document) -> bytes:
    """Encodes a compact calibration or device config document.

    Args:
        document: a dict (lists or tuples for arrays), or JSON text as a str.

    Returns:
        The blob ``ravelin encode`` writes for it, byte for byte.

    Raises:
        EncodeError: the document is not JSON the program reads, of neither
            kind, or refused by the encoder (a missing key, a value of the
            wrong type or out of range, nesting deeper than 512 levels).
        TypeError: the document holds an object that JSON has no form for.
    """
    return _ravelin.encode(document)


def kind(document_or_blob: Union[Document, Blob]) -> str:
    """Tells ``"calibration"`` from ``"device_config"``: a blob by its magic,
    a document by its shape (a device config first, as ``encode`` does).

    Args:
        document_or_blob: bytes-like for a blob; a dict or JSON text for a document.

    Returns:
        ``"calibration"`` or ``"device_config"``.

    Raises:
        DecodeError: a blob of neither kind.
        EncodeError: a document of neither kind.
    """
    return _ravelin.kind(document_or_blob)


def verify(document: Document, blob: Blob) -> VerifyResult:
    """Checks that ``blob`` holds ``document``, as ``ravelin verify`` does:
    numbers stored in single precision and added or removed notes are
    acceptable differences.

    Args:
        document: the source document, a dict or JSON text.
        blob: the blob it was encoded to.

    Returns:
        ``exit_code`` and ``differences``, each as ``(level, text)``.

    Raises:
        DecodeError: the blob cannot be decoded.
        EncodeError: the document cannot be read or is not of the blob's kind.
    """
    exit_code, differences = _ravelin.verify(document, blob)
    return VerifyResult(exit_code, differences)


def check(document_or_blob: Union[Document, Blob]) -> Findings:
    """Judges a document or a blob for physical plausibility, as ``ravelin check`` does.

    A blob's numbers are judged as ``decode`` gives them; a blob whose CRC32
    does not match is an error finding of its own (and a ``CrcMismatchWarning``).

    Args:
        document_or_blob: bytes-like for a blob; a dict or JSON text for a document.

    Returns:
        The findings, each ``Finding(level, pointer, value, reason)``, with
        ``exit_code`` on the list.

    Raises:
        DecodeError: a blob that cannot be decoded.
        EncodeError: a document that cannot be read or is of neither kind.
    """
    exit_code, findings = _ravelin.check(document_or_blob)
    return Findings([Finding(*finding) for finding in findings], exit_code)


def inspect(blob: Blob) -> List[Dict[str, Any]]:
    """Lists a blob, whole or damaged, as ``ravelin inspect --json`` does.

    Args:
        blob: the blob's bytes, at most 1 MiB; of any kind, or none.

    Returns:
        One dict per element: offset, size, depth, path, name and, where
        they apply, value, note and fault.

    Raises:
        DecodeError: the blob is larger than the limit.
    """
    return json.loads(_ravelin.inspect(blob))


def diff(old: Union[Document, Blob], new: Union[Document, Blob]) -> Dict[str, Any]:
    """Compares two calibrations, or two device configs, as ``ravelin diff`` does.

    Args:
        old: a document (dict or JSON text) or a blob.
        new: likewise, of the same kind as ``old``.

    Returns:
        The report ``ravelin diff --json`` writes, as ``json.loads`` reads
        it: kind, verdict (``"identical"``, ``"within"`` or ``"beyond"``
        tolerance), cameras, imus and changes. A blob whose CRC32 does not
        match is a change beyond tolerance of the whole document.

    Raises:
        DecodeError: a blob that cannot be decoded.
        EncodeError: a document that cannot be read or is of neither kind.
        Error: the two are of different kinds.
    """
    return json.loads(_ravelin.diff(old, new))
