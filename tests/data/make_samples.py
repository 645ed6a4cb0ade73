#!/usr/bin/env python3
"""Writes the sample Standard MIDI Files of this folder and, beside each, the
events an independent reader sees in it (<name>.events.jsonl, the format of
`mirelo-updater-cli inspect --events`). Deterministic: run it again and the
files come out the same.

Every event is described once, here, as (delta, kind, fields, raw bytes); the
raw bytes are what goes into the file and the fields what is expected back.

Escape (0xF7) events stay out of these files: writing turns them into 0xF0
events, so they do not survive a round trip unchanged; unit tests cover them.
"""
import json
import os
import random

HERE = os.path.dirname(os.path.abspath(__file__))


def vlq(value, width=None):
    groups = [value & 0x7F]
    value >>= 7
    while value:
        groups.append(value & 0x7F)
        value >>= 7
    while width is not None and len(groups) < width:
        groups.append(0)
    groups.reverse()
    return bytes([g | 0x80 for g in groups[:-1]] + [groups[-1]])


def meta(delta, mtype, data):
    return (delta, {"kind": "meta", "type": mtype, "data": list(data)},
            bytes([0xFF, mtype]) + vlq(len(data)) + bytes(data))


def sysex(delta, body, width=None):
    """An 0xF0 event; body is what follows the 0xF0 (normally ending 0xF7)."""
    return (delta, {"kind": "sysex", "data": [0xF0] + list(body)},
            bytes([0xF0]) + vlq(len(body), width) + bytes(body))


def channel(delta, status, data, running=False):
    raw = bytes(data) if running else bytes([status]) + bytes(data)
    return (delta, {"kind": "channel", "status": status, "data": list(data)}, raw)


def tempo(delta, usec):
    return meta(delta, 0x51, usec.to_bytes(3, "big"))


def track_chunk(events, end_of_track=True):
    body = b"".join(vlq(d) + raw for d, _, raw in events)
    if end_of_track:
        body += b"\x00\xFF\x2F\x00"
    return b"MTrk" + len(body).to_bytes(4, "big") + body


def write(name, fmt, division, tracks, trailing=b""):
    image = (b"MThd" + (6).to_bytes(4, "big") + fmt.to_bytes(2, "big") +
             len(tracks).to_bytes(2, "big") + division.to_bytes(2, "big"))
    lines = []
    for t, events in enumerate(tracks):
        image += track_chunk(events)
        tick = 0
        for i, (delta, fields, _) in enumerate(events):
            tick += delta
            record = {"track": t, "index": i, "tick": tick}
            record.update(fields)
            lines.append(json.dumps(record, separators=(",", ":")))
    with open(os.path.join(HERE, name + ".mid"), "wb") as f:
        f.write(image + trailing)
    with open(os.path.join(HERE, name + ".events.jsonl"), "w") as f:
        f.write("".join(line + "\n" for line in lines))


def firmware_block(rng, block, size):
    # Yamaha-style bulk dump: manufacturer, device, model, address, 7-bit payload, checksum.
    payload = [rng.randrange(0x80) for _ in range(size)]
    body = [0x43, 0x00, 0x7F, 0x1C, (block >> 7) & 0x7F, block & 0x7F] + payload
    body.append((-sum(body[4:])) & 0x7F)
    return body + [0xF7]


def sample(rng):
    conductor = [
        meta(0, 0x03, b"mirelo firmware 2.4.1"),
        meta(0, 0x58, [4, 2, 24, 8]),
        tempo(0, 500000),
        tempo(1920, 400000),
        tempo(1920, 300000),
    ]
    firmware = [meta(0, 0x03, b"firmware")]
    firmware.append(sysex(0, [0x7E, 0x7F, 0x09, 0x01, 0xF7]))  # GM reset: wakes the loader
    delta = 480
    for block, size in enumerate([120, 250, 250, 250, 180, 64]):
        firmware.append(sysex(delta, firmware_block(rng, block, size)))
        delta = 240
    firmware.append(sysex(960, [0x43, 0x10, 0x7F, 0x1C, 0x7F, 0xF7]))  # commit
    write("sample", 1, 480, [conductor, firmware])


def running_status():
    events = [
        meta(0, 0x03, b"piano"),
        channel(0, 0xC0, [5]),
        channel(0, 0x90, [60, 100]),
        channel(0, 0x90, [64, 90], running=True),
        meta(0, 0x01, b""),                        # running status survives meta
        channel(96, 0x90, [60, 0], running=True),
        sysex(0, [0x41, 0x10, 0x42, 0x12, 0xF7]),  # ... and SysEx
        channel(0, 0x90, [64, 0], running=True),
        channel(48, 0xB3, [7, 127]),
        channel(0, 0xB3, [10, 64], running=True),
        channel(0, 0xD3, [33]),
        channel(0, 0xD3, [34], running=True),
        channel(0, 0xEF, [0, 64]),
        channel(0, 0xA1, [60, 20]),
        channel(0, 0x8F, [60, 0]),
        meta(0, 0x21, [0]),                        # not in the meta table
        meta(0, 0x7F, [0x43, 0x7B, 0x02, 0x01]),    # rehearsal mark
        meta(200, 0x06, b"end"),
    ]
    write("running_status", 0, 96, [events])


def sysex_forms(rng):
    events = [
        sysex(0, [rng.randrange(0x80) for _ in range(126)] + [0xF7]),        # param of 128 bytes
        sysex(0, [rng.randrange(0x80) for _ in range(126)] + [0xF7], 2),     # the same, 0x80 0x7F length
        sysex(10, [0x7E, 0x00, 0x06, 0x01, 0xF7]),
        sysex(0, [rng.randrange(0x80) for _ in range(16382)] + [0xF7]),      # param of 16384 bytes
        sysex(0x0FFFFFFF, [0x7D, 0xF7]),                                     # largest delta time
        sysex(0x20, [0x7D, 0x01]),                                           # unterminated, kept as is
    ]
    write("sysex_forms", 1, 0xE728, [[tempo(0, 700000)], events])


def minimal():
    write("minimal", 0, 96, [[]], trailing=b"trailing bytes are ignored")


if __name__ == "__main__":
    rng = random.Random(20240517)
    sample(rng)
    running_status()
    sysex_forms(rng)
    minimal()
