#!/usr/bin/env python3
"""Checks that Tova's saved state opens in plistlib with the structure hosts and tools expect.

usage: check_state_plist.py FILE... -- each file, in either form, holds the state of an instance
whose key 10 has 1000 frames of 0.25 (slot 0) and key 20 500 frames of -0.5 (slot 1), with
pitch 1.5 and speed 0.75 on key 20.
"""
import plistlib
import struct
import sys


def fail(message):
    print(message)
    sys.exit(1)


def check(cond, message):
    if not cond:
        fail(message)


def check_types(entry, types, what):
    check(set(entry) == set(types), f"{what}: keys {sorted(entry)}")
    for key, kind in types.items():
        check(type(entry[key]) is kind, f"{what}: {key} is {type(entry[key]).__name__}")


def check_state(path):
    with open(path, "rb") as f:
        state = plistlib.load(f)
    check_types(state, {"version": int, "type": int, "subtype": int, "manufacturer": int,
                        "data": bytes, "name": str, "tova-version": int,
                        "tova-samples": dict, "tova-keysinfo": dict}, "state")
    check(state["version"] == 0 and state["tova-version"] == 1, "versions")
    check(len(state["data"]) == 292, "parameter blob of 35 parameters")

    samples = state["tova-samples"]
    check_types(samples, {"version": int, "length": int, "samples": bytes, "data": list},
                "tova-samples")
    length = samples["length"]
    check(length == 1500, f"length {length}")
    check(len(samples["samples"]) == 8 * length, "8 bytes a frame")
    frames = struct.unpack(f">{2 * length}f", samples["samples"])
    check(frames[0] == 0.25 and frames[999] == 0.25 and frames[1000] == -0.5,
          "left channel, big-endian")
    check(frames[length] == 0.25 and frames[2 * length - 1] == -0.5, "right channel after it")
    check(len(samples["data"]) == 64, "64 slots")
    used = {"start": int, "last": int, "size": int, "tempo": float, "sr": float, "sync": int,
            "neverLoop": int, "playAll": int}
    for i, slot in enumerate(samples["data"]):
        if i < 2:
            check_types(slot, used, f"slot {i}")
        else:
            check(slot == {"size": 0}, f"slot {i} is free")
    check(samples["data"][1]["start"] == 1000 and samples["data"][1]["last"] == 1499, "slot 1")

    keys = state["tova-keysinfo"]
    check_types(keys, {"version": int, "data": list}, "tova-keysinfo")
    check(len(keys["data"]) == 128, "128 keys")
    with_sample = {"id": int, "pitchshift": float, "speed": float, "auto": int, "looping": int}
    for k, key in enumerate(keys["data"]):
        if k in (10, 20):
            check_types(key, with_sample, f"key {k}")
        else:
            check(key == {"id": -1}, f"key {k} is empty")
    check(keys["data"][20]["id"] == 1 and keys["data"][20]["pitchshift"] == 1.5 and
          keys["data"][20]["speed"] == 0.75, "key 20")


for state_path in sys.argv[1:]:
    check_state(state_path)
print("ok")
