"""Records real traffic between a Helmcast master and a Helmecho slave.

Both modules run in simhost processes on 127.0.0.1. The slave is pointed at
a small forwarder instead of the master; the forwarder passes every datagram
on unchanged and keeps a copy, so the capture holds exactly the bytes the
modules sent, in both directions, without a live packet capture (which needs
privileges). In the written capture the forwarder is left out: each datagram
appears between the slave's address and the master's, as on a direct link.
"""

import re
import select
import socket
import struct
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools" / "faults"))
from cluster import TRACEROUTE_PORTS, free_port  # noqa: E402,F401 (the tests take both from here)

LOOPBACK = "127.0.0.1"


def demo_ships(source_dir):
    """{vessel name: class name} of the bundled demo scenario."""
    scenario = (source_dir / "scenarios" / "Demo.scn").read_text()
    return dict(re.findall(r"^([\w-]+):(\w+)", scenario.split("BEGIN_SHIPS")[1], re.M))


def start_simhost(bin_dir, source_dir, folder, module, scenario, seconds, keys, config_name, config_text):
    (folder / "Config").mkdir(parents=True, exist_ok=True)
    (folder / "Config" / config_name).write_text(config_text)
    args = [str(bin_dir / "simhost"), "--root", ".", "--module", str(bin_dir / module),
            "--scenario", str(source_dir / "scenarios" / scenario),
            "--classes", str(source_dir / "config" / "Vessels"), "--module-dir", str(bin_dir),
            "--realtime", "--quiet", "--duration", str(seconds)]
    for key in keys:
        args += ["--key", key]
    out = open(folder / "simhost.out", "w")
    return subprocess.Popen(args, cwd=folder, stdout=out, stderr=subprocess.STDOUT)


def record(bin_dir, source_dir, work_dir, seconds, master_keys, slave_keys):
    """Runs master and slave for `seconds`; returns (master_port, slave_address, records).

    Each record is (time, from_slave, bytes)."""
    master_port = free_port()
    front = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)  # where the slave sends
    front.bind((LOOPBACK, 0))
    back = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)  # where the master answers
    back.bind((LOOPBACK, 0))
    for s in (front, back):
        s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 1 << 20)

    master = start_simhost(bin_dir, source_dir, work_dir / "master", "Helmcast.so", "Demo.scn", seconds + 1,
                           master_keys, "Helmcast.cfg",
                           f"masterPort = {master_port}\ntextSyncClasses = Shuttle2 Capsule1\n")
    slave = start_simhost(bin_dir, source_dir, work_dir / "slave", "Helmecho.so", "Demo.scn", seconds, slave_keys,
                          "Helmecho.cfg",
                          f"masterIP = {LOOPBACK}\nmasterPort = {front.getsockname()[1]}\nsendKeys = 1\n")
    records = []
    slave_address = None
    deadline = time.monotonic() + seconds + 5  # the slave ends by itself well before
    try:
        while time.monotonic() < deadline and slave.poll() is None:
            readable, _, _ = select.select([front, back], [], [], 0.2)
            for s in readable:
                data, sender = s.recvfrom(70000)
                if s is front:
                    slave_address = sender
                    back.sendto(data, (LOOPBACK, master_port))
                    records.append((time.time(), True, data))
                elif sender == (LOOPBACK, master_port) and slave_address is not None:
                    front.sendto(data, slave_address)
                    records.append((time.time(), False, data))
    finally:
        for process in (slave, master):
            if process.poll() is None:
                process.terminate()
            process.wait(timeout=10)
        front.close()
        back.close()
    return master_port, slave_address, records


# ---- pcap ----

def _checksum(header):
    total = sum(struct.unpack(f"!{len(header) // 2}H", header))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return ~total & 0xFFFF


def _frame(source, destination, payload, ident):
    """Ethernet + IPv4 + UDP (no UDP checksum) around one datagram."""
    udp = struct.pack("!HHHH", source[1], destination[1], 8 + len(payload), 0)
    ip = struct.pack("!BBHHHBBH4s4s", 0x45, 0, 20 + len(udp) + len(payload), ident & 0xFFFF, 0, 64, 17, 0,
                     socket.inet_aton(source[0]), socket.inet_aton(destination[0]))
    ip = ip[:10] + struct.pack("!H", _checksum(ip)) + ip[12:]
    ethernet = b"\x00" * 12 + b"\x08\x00"
    return ethernet + ip + udp + payload


def write_pcap(path, packets):
    """packets: (time, source (ip, port), destination (ip, port), payload)."""
    with open(path, "wb") as out:
        out.write(struct.pack("<IHHiIII", 0xA1B2C3D4, 2, 4, 0, 0, 262144, 1))
        for number, (when, source, destination, payload) in enumerate(packets):
            frame = _frame(source, destination, payload, number)
            seconds = int(when)
            out.write(struct.pack("<IIII", seconds, int((when - seconds) * 1e6), len(frame), len(frame)))
            out.write(frame)
