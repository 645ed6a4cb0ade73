#!/usr/bin/env python3
"""Writes the handmade seeds of the fuzz corpora. The real files among the
seeds (sample update files, string tables, the head of the synthetic
firmware) are copied in by hand and kept as they are.

Usage: tests/fuzz/corpus/make_seeds.py   (from anywhere; rewrites the files)
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    os.makedirs(os.path.join(HERE, target), exist_ok=True)
    with open(os.path.join(HERE, target, name), "wb") as f:
        f.write(data)


def vlq(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.insert(0, 0x80 | (n & 0x7F))
        n >>= 7
    return bytes(out)


def smf(fmt, division, tracks):
    out = b"MThd" + struct.pack(">IHHH", 6, fmt, len(tracks), division)
    for body in tracks:
        out += b"MTrk" + struct.pack(">I", len(body)) + body
    return out


EOT = b"\x00\xff\x2f\x00"


def tempo(delta, us):
    return vlq(delta) + b"\xff\x51\x03" + us.to_bytes(3, "big")


def sysex(delta, payload, lead=0xF0):
    return vlq(delta) + bytes([lead]) + vlq(len(payload)) + payload


# --- fuzz_smf: the forms the reader distinguishes
write("fuzz_smf", "empty_track.mid", smf(0, 96, [EOT]))
write("fuzz_smf", "tempo_and_sysex.mid",
      smf(1, 480, [tempo(0, 500000) + tempo(480, 700000) + EOT,
                   sysex(0, b"\x7d\x01\x02\xf7") + sysex(240, b"\x7d\x03\xf7") + EOT]))
write("fuzz_smf", "escape_and_running_status.mid",
      smf(0, 0xE728, [b"\x00\x90\x3c\x64\x60\x3c\x00" + sysex(0, b"\xf3\x01", lead=0xF7)
                      + b"\x00\xff\x01\x00" + b"\x00\x3c\x00" + EOT]))
write("fuzz_smf", "long_sysex.mid", smf(0, 96, [sysex(0, bytes(range(127)) ) + EOT]))
# Tempo changes among the messages of track 0, at their ticks too, and an
# empty continuation event that the verification refuses.
write("fuzz_smf", "tempo_among_messages.mid",
      smf(1, 96, [tempo(0, 600000) + sysex(0, b"\x7d\x01\xf7") + tempo(0, 500000) + sysex(10, b"\x7d\x02\xf7")
                  + tempo(10, 250000) + tempo(0, 1000000) + sysex(5, b"\x7d\x03\xf7") + EOT,
                  sysex(7, b"\x7d\x04\xf7") + sysex(30, b"\x7d\x05\xf7") + EOT]))
write("fuzz_smf", "empty_escape.mid",
      smf(0, 96, [sysex(0, b"\x7d", lead=0xF0) + sysex(0, b"", lead=0xF7) + sysex(0, b"\x01\xf7", lead=0xF7) + EOT]))
write("fuzz_smf", "mtrk_inside_sysex.mid",
      smf(0, 96, [sysex(0, b"MTrk\x00\x00\x00\x01\xf7") + EOT]) + b"trailing")

# --- fuzz_midi_in: count byte (mod 9), then per packet a length byte and data
def lists(*packet_lists):
    out = b""
    for packets in packet_lists:
        out += bytes([len(packets)])
        for p in packets:
            out += bytes([len(p)]) + p
    return out


write("fuzz_midi_in", "one_message.bin", lists([b"\xf0\x43\x10\xf7"]))
write("fuzz_midi_in", "split_across_lists.bin", lists([b"\xf0\x43"], [b"\x10\xf7"]))
write("fuzz_midi_in", "realtime_inside.bin", lists([b"\xf0\x01\xf8\x02\xf7", b"\xf0\x01\xf0\x02\xf7"]))
write("fuzz_midi_in", "channel_and_empty.bin", lists([b"\x90\x3c\x64", b"", b"\xf7\x01"], []))
write("fuzz_midi_in", "long_packet.bin",
      b"\x01\xff\x01\x2c" + b"\xf0" + bytes(i % 128 for i in range(298)) + b"\xf7")

# --- fuzz_syx: handmade next to the real firmware head
write("fuzz_syx", "two_messages.syx", b"\xf0\x7d\x01\xf7\xf0\x7d\x02\x03\xf7")
write("fuzz_syx", "truncated.syx", b"\xf0\x7d\x01\xf7\xf0\x7d")
write("fuzz_syx", "stray_status.syx", b"\xf0\x7d\x90\xf7")

# --- fuzz_strings: escapes, comments and the faults the reader reports
write("fuzz_strings", "escapes.json",
      '/* comment */\n// line\n{"a": "tab\\tquote\\"back\\\\\\u00e9 \\uD83C\\uDFB9", "b": "line\\nbreak"}\n'.encode())
write("fuzz_strings", "faults.json",
      b'{"a": "1", "n": 2, "o": {"x": [1, {}]}, "k": "1", "k": "2", "c": "\xc0\xaf"}\n/* open')
write("fuzz_strings", "bom_nul.json", b'\xef\xbb\xbf{"k": "\\u0000", "": "empty key"}\n')

# --- fuzz_identity: Identity Replies well formed and not, our own request
REPLY = bytes([0xF0, 0x7E, 0x00, 0x06, 0x02, 0x7D, 0x4D, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0xF7])
write("fuzz_identity", "reply.bin", REPLY)
write("fuzz_identity", "extended_reply.bin",
      bytes([0xF0, 0x7E, 0x10, 0x06, 0x02, 0x00, 0x20, 0x33, 0x01, 0x02, 0x7F, 0x7F, 0x00, 0x01, 0x02, 0x03, 0xF7]))
write("fuzz_identity", "request.bin", bytes([0xF0, 0x7E, 0x7F, 0x06, 0x01, 0xF7]))
write("fuzz_identity", "short_reply.bin", REPLY[:-2] + b"\xf7")
