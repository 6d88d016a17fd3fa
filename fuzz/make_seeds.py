#!/usr/bin/env python3
"""Seeds for the fuzz targets from real archives.

usage: make_seeds.py OUTPUT_DIR FILE_OR_FOLDER...

Every file given (folders are walked) that is at most MAX_ARCHIVE bytes becomes a seed of
fuzz_archive. Each entry of an archive, found through its central directory, becomes a seed of the
decoder target of its method, in the input layout described in fuzz/FuzzTargets.h: the raw
compressed bytes (cut to MAX_DATA) for inflate and unshrink; one selector byte and three bytes of
unpacked size before them for explode (the entry's flags) and unreduce (method - 2). Encrypted
entries and anything the small parser here cannot follow are left out: seeds only need to be
plausible, not complete.
"""
import hashlib
import os
import struct
import sys

MAX_ARCHIVE = 256 * 1024
MAX_DATA = 64 * 1024
OUTPUT_LIMIT = 1 << 20  # kDecoderOutputLimit


def entries(blob):
    end = blob.rfind(b"PK\x05\x06")
    if end < 0 or end + 22 > len(blob):
        return
    count, _, offset = struct.unpack_from("<HII", blob, end + 10)
    at = offset
    for _ in range(count):
        if at + 46 > len(blob) or blob[at:at + 4] != b"PK\x01\x02":
            return
        flags, method = struct.unpack_from("<HH", blob, at + 8)
        packed, unpacked = struct.unpack_from("<II", blob, at + 20)
        name_len, extra_len, comment_len = struct.unpack_from("<HHH", blob, at + 28)
        local = struct.unpack_from("<I", blob, at + 42)[0]
        at += 46 + name_len + extra_len + comment_len
        if local + 30 > len(blob) or blob[local:local + 4] != b"PK\x03\x04":
            continue
        lname, lextra = struct.unpack_from("<HH", blob, local + 26)
        start = local + 30 + lname + lextra
        data = blob[start:start + min(packed, MAX_DATA)]
        yield flags, method, unpacked, data


def size_header(unpacked):
    return struct.pack("<I", unpacked % (OUTPUT_LIMIT + 1))[:3]


def write_seed(out_dir, target, payload):
    folder = os.path.join(out_dir, target)
    os.makedirs(folder, exist_ok=True)
    name = hashlib.sha1(payload).hexdigest()
    with open(os.path.join(folder, name), "wb") as f:
        f.write(payload)


def seed_file(out_dir, path):
    with open(path, "rb") as f:
        blob = f.read()
    if len(blob) <= MAX_ARCHIVE:
        write_seed(out_dir, "fuzz_archive", blob)
    for flags, method, unpacked, data in entries(blob):
        if flags & 1 or not data:
            continue
        if method == 8:
            write_seed(out_dir, "fuzz_inflate", data)
        elif method == 1:
            write_seed(out_dir, "fuzz_unshrink", data)
        elif method == 6:
            write_seed(out_dir, "fuzz_explode", bytes([flags & 6]) + size_header(unpacked) + data)
        elif 2 <= method <= 5:
            write_seed(out_dir, "fuzz_unreduce", bytes([method - 2]) + size_header(unpacked) + data)


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    out_dir = sys.argv[1]
    for root in sys.argv[2:]:
        if os.path.isfile(root):
            seed_file(out_dir, root)
            continue
        for folder, _, files in os.walk(root):
            for name in sorted(files):
                seed_file(out_dir, os.path.join(folder, name))


if __name__ == "__main__":
    main()
