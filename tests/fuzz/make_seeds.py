#!/usr/bin/env python3
"""Writes the checked-in seed corpora of the fuzz targets (tests/fuzz/corpus/).
Run it again only to change the seeds; the fuzzers start from what is
checked in."""
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "kivpack"))
from containers import (append_certificate_table, container, literal_stream,  # noqa: E402
                        pattern, pe_stub, trailer)


def write(folder, name, data):
    path = os.path.join(HERE, "corpus", folder)
    os.makedirs(path, exist_ok=True)
    with open(os.path.join(path, name), "wb") as f:
        f.write(data)


# Streams: the format's corner cases and one ordinary stream.
streams = {
    "end-marker": bytes.fromhex("0000"),
    "self-overlapping-match": bytes.fromhex("B0D880028000"),
    "longest-match": bytes.fromhex("B08007C000"),
    "absolute-index": bytes.fromhex("B0D8AC7640008000 00".replace(" ", "")),
    "unwritten-window": bytes.fromhex("03200000"),
    "match-at-current-position": bytes.fromhex("BC00084000"),
    "cut-in-length-field": bytes.fromhex("B08004"),
    "literals": literal_stream(b"Kiv Setup fuzz seed: the quick brown fox"),
}
for name, data in streams.items():
    write("expand", name, data)

# Whole setups for the extraction and the trailer lookup.
stub = pe_stub()
program = literal_stream(pattern(200, 1))
setups = {
    "program-with-blobs": container(stub, program=program, info=[b"info0", b"", b"info2"])[0],
    "library": container(stub, library=literal_stream(b"library image"), info=[b"x"])[0],
    "both-images": container(stub, program=program, library=literal_stream(b"lib"))[0],
    "no-image": container(stub, info=[b"blob"])[0],
    "only-a-trailer": trailer(program=(0, 0)),
    "blob-past-end": stub + trailer(program=(len(stub), 0), info=[(len(stub), 5000)]),
}
setups["signed"] = append_certificate_table(setups["program-with-blobs"], 72)
setups["signed-pe32plus"] = append_certificate_table(
    container(pe_stub(pe64=True), program=program, info=[b"a"])[0], 40)
for name, data in setups.items():
    write("extract", name, data)
    if name.startswith("signed") or name in ("program-with-blobs", "no-image"):
        write("trailer", name, data)
