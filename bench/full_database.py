#!/usr/bin/env python3
"""Writes a unit database of 65,536 records, every one in use: units last heard
just now, half over TCP and half over UDP. Usage: full_database.py PATH"""
import struct, sys, time
base = time.mktime((2000, 1, 1, 0, 0, 0, 0, 0, -1))
now = int(time.time() - base)
db = bytearray(65536 * 40)
for n in range(65536):
    r = n * 40
    db[r] = 1
    db[r + 3] = 1 + n % 2
    struct.pack_into("<qIHII", db, r + 5, 356000000000000 + n, 0x0A400000 | n, 40000 + n % 20000,
                     now - 30 * 86400, now)
    db[r + 27:r + 30] = bytes([1, 2, 10])
    db[r + 30:r + 34] = b"%04X" % n
    db[r + 34] = ord("0") + n % 10
open(sys.argv[1], "wb").write(db)
