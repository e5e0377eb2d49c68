#!/usr/bin/env python3
"""The Wireshark dissector on real module traffic, through tshark.

A master and a slave (with key forwarding) run for a few seconds; every
datagram between them is recorded and written into a capture, followed by a
few datagrams that break the size rule or a count. tshark dissects the
capture with tools/wireshark/helmcast.lua. Every datagram of the modules
must be dissected without a malformed mark or expert info, and its fields
must equal what this script reads from the same bytes at the offsets of
docs/protocol.md; the broken ones must carry their expert info (a size-rule
violation is marked malformed, as it should be).

usage: dissector_test.py BIN_DIR SOURCE_DIR WORK_DIR
"""

import math
import shutil
import struct
import subprocess
import sys
from pathlib import Path

import module_traffic
import outcome

RUN_SECONDS = 5
FIELDS = ["frame.number", "helmcast.type", "helmcast.seq", "helmcast.vessel_name", "helmcast.class_name",
          "helmcast.mjd", "helmcast.rpos.x", "helmcast.time_accel", "helmcast.text_length", "helmcast.text",
          "helmcast.key_count", "helmcast.key.scan_code", "helmcast.key.action", "helmcast.key.alt",
          "helmcast.anim_count", "helmcast.nfuel", "_ws.malformed", "_ws.expert.message"]

# Datagrams no module sends, and the expert info each must get.
BROKEN = [
    (struct.pack("<ii", 0, 1) + bytes(8), "its type needs 32 bytes"),
    (struct.pack("<ii", 42, 2), "Unknown message type 42"),
    (struct.pack("<iid32sii", 6, 3, 60000.5, b"X", -5, 0), "a text length of 0 to 65536"),
    (b"\x01\x00\x00", "shorter than the 8-byte header"),
    (struct.pack("<iii", 7, 4, 99) + bytes(192), "Count 99 read as 16"),
]


def name_at(data, offset):
    field = data[offset:offset + 32]
    end = field.find(b"\0")
    return (field[:end] if 0 <= end < 31 else field[:31]).decode("latin-1")


def expected_fields(data):
    """What the dissector must show for one of the modules' datagrams."""
    msg_type, seq = struct.unpack_from("<ii", data)
    e = {"helmcast.type": [msg_type], "helmcast.seq": [seq]}
    double = lambda offset: struct.unpack_from("<d", data, offset)[0]
    int32 = lambda offset: struct.unpack_from("<i", data, offset)[0]
    if msg_type == 0:
        e["helmcast.mjd"] = [double(8)]
        e["helmcast.time_accel"] = [double(16)]
    elif msg_type in (1, 2):
        e["helmcast.mjd"] = [double(8)]
        e["helmcast.vessel_name"] = [name_at(data, 16)]
        e["helmcast.class_name"] = [name_at(data, 48)]
        e["helmcast.rpos.x"] = [double(80 if msg_type == 1 else 104)]
        if msg_type == 2:
            e["helmcast.nfuel"] = [int32(224)]
    elif msg_type == 6:
        e["helmcast.mjd"] = [double(8)]
        e["helmcast.vessel_name"] = [name_at(data, 16)]
        e["helmcast.text_length"] = [int32(48)]
    elif msg_type == 7:
        count = int32(8)
        e["helmcast.key_count"] = [count]
        flags = [struct.unpack_from("<I", data, 12 + 12 * i + 8)[0] for i in range(count)]
        e["helmcast.key.scan_code"] = [(f >> 16) & 0xFF for f in flags]
        e["helmcast.key.action"] = ["release" if f & 0x80000000 else "press" for f in flags]
        e["helmcast.key.alt"] = [1 if f & 0x20000000 else 0 for f in flags]
    elif msg_type in (3, 4, 5, 8, 9):
        e["helmcast.vessel_name"] = [name_at(data, 8)]
        if msg_type == 9:
            e["helmcast.anim_count"] = [int32(40)]
    return e


def parse_value(text):
    if text in ("True", "False"):
        return 1 if text == "True" else 0
    for convert in (lambda t: int(t, 0), float):
        try:
            return convert(text)
        except ValueError:
            pass
    return text


def same(a, b):
    if isinstance(a, float) or isinstance(b, float):
        return isinstance(a, (int, float)) and isinstance(b, (int, float)) and math.isclose(a, b, rel_tol=1e-12)
    return a == b


def run_tshark(tshark, script, capture, port_option):
    args = [tshark, "-n", "-X", f"lua_script:{script}", "-r", str(capture), "-T", "fields", "-E", "occurrence=a",
            "-E", "aggregator=\x1f", "-E", "separator=\x1e"]
    if port_option:
        args += ["-o", port_option]
    for field in FIELDS:
        args += ["-e", field]
    done = subprocess.run(args, capture_output=True, text=True, encoding="latin-1", timeout=120)
    if done.returncode != 0 or "Lua" in done.stderr:
        raise SystemExit(f"tshark failed ({done.returncode}):\n{done.stderr}")
    rows = []
    for line in done.stdout.split("\n")[:-1]:  # splitlines() would also cut at the separators
        cells = line.split("\x1e")
        rows.append({field: [parse_value(v) for v in cell.split("\x1f")] if cell else []
                     for field, cell in zip(FIELDS, cells)})
    return rows


def main():
    bin_dir, source_dir, work_dir = (Path(a).resolve() for a in sys.argv[1:4])
    tshark = shutil.which("tshark")
    if tshark is None:
        raise SystemExit("tshark is not installed (scripts/test installs Debian's package)")
    shutil.rmtree(work_dir, ignore_errors=True)
    work_dir.mkdir(parents=True)

    master_keys = ["1.5:L:tap", "2.5:G:tap:alt"]
    slave_keys = ["3:K:tap"]
    port, slave, records = module_traffic.record(bin_dir, source_dir, work_dir, RUN_SECONDS, master_keys, slave_keys)
    if slave is None or not records:
        raise SystemExit("no traffic between master and slave was recorded")
    master = (module_traffic.LOOPBACK, port)
    if slave[1] in module_traffic.TRACEROUTE_PORTS:
        # tshark marks every datagram to such a port as a traceroute probe;
        # the slave's port (the system's choice) means nothing to the dissector.
        slave = (slave[0], slave[1] - len(module_traffic.TRACEROUTE_PORTS))
    packets = [(when, slave, master) if up else (when, master, slave) for when, up, _ in records]
    packets = [(when, source, destination, data) for (when, source, destination), (_, _, data) in zip(packets, records)]
    last = packets[-1][0]
    packets += [(last + 0.001 * (i + 1), slave, master, data) for i, (data, _) in enumerate(BROKEN)]
    capture = work_dir / "module-traffic.pcap"
    module_traffic.write_pcap(capture, packets)
    print(f"{len(records)} datagrams of the modules, {len(BROKEN)} broken ones, master port {port}: {capture}")

    script = source_dir / "tools" / "wireshark" / "helmcast.lua"
    rows = run_tshark(tshark, script, capture, f"helmcast.port:{port}")
    problems = []
    if len(rows) != len(packets):
        problems.append(f"tshark printed {len(rows)} frames of {len(packets)}")

    names = {}
    keys = {True: [], False: []}
    texts = 0
    for row, (_, source, _, data) in zip(rows, packets[:len(records)]):
        frame = row["frame.number"][0]
        if row["_ws.malformed"] or row["_ws.expert.message"]:
            problems.append(f"frame {frame}: malformed or expert info {row['_ws.expert.message']}")
        for field, values in expected_fields(data).items():
            if len(values) != len(row[field]) or not all(same(a, b) for a, b in zip(values, row[field])):
                problems.append(f"frame {frame}: {field} {row[field]} instead of {values}")
        msg_type = struct.unpack_from("<i", data)[0]
        if msg_type in (1, 2):
            names[name_at(data, 16)] = name_at(data, 48)
        if msg_type == 7:
            keys[source == slave] += list(zip(row["helmcast.key.scan_code"], row["helmcast.key.action"],
                                              row["helmcast.key.alt"]))
        if msg_type == 6 and "LIGHTS" in str(row["helmcast.text"][0]):
            texts += 1

    for row, (data, message) in zip(rows[len(records):], BROKEN):
        shown = " / ".join(str(m) for m in row["_ws.expert.message"])
        if message not in shown:
            problems.append(f"frame {row['frame.number'][0]}: expert info '{shown}', expected '{message}'")

    ships = module_traffic.demo_ships(source_dir)
    if names != ships:
        problems.append(f"vessels {names} instead of {ships}")
    # L (scan code 0x26) and G (0x22, Alt held) typed in the master, K (0x25) in the slave.
    for wanted in [(0x26, "press", 0), (0x26, "release", 0), (0x22, "press", 1), (0x22, "release", 1)]:
        if wanted not in keys[False]:
            problems.append(f"master key event {wanted} not dissected (saw {keys[False]})")
    for wanted in [(0x25, "press", 0), (0x25, "release", 0)]:
        if wanted not in keys[True]:
            problems.append(f"slave key event {wanted} not dissected (saw {keys[True]})")
    if texts == 0:
        problems.append("no scenario text with its LIGHTS line dissected")

    # The port is a preference: on the default port this capture is no Helmcast traffic.
    if any(row["helmcast.type"] for row in run_tshark(tshark, script, capture, None)):
        problems.append("datagrams on another port than the preference's were dissected")

    return outcome.finish(problems[:40], f"{len(rows)} frames dissected, {len(names)} vessels, "
                          f"{len(keys[False]) + len(keys[True])} key events")


if __name__ == "__main__":
    sys.exit(main())
