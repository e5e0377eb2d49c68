#!/usr/bin/env python3
"""The trunk's fault scenarios: master -> near relay -> trunk -> far relay ->
two slaves (simhost processes and helmrelay on loopback), with the trunk
impaired (impair_relay between the two ends), a far end with the wrong key
and junk at the near end, or every trunk datagram replayed. In each: the
slaves follow, every datagram a client of the far relay receives equals the
master's byte for byte (two recorders compare them), and what the trunk
refuses is counted and said at most once a second.

  trunk_faults.py BIN_DIR OUT_DIR [--only NAME,...] [--seed N]

Exits 1 when a target is missed, 2 when the suite cannot run; with --only
naming none of its scenarios it runs nothing and exits 0.
"""

import argparse
import json
import random
import re
import secrets
import signal
import socket
import subprocess
import sys
import threading
import time
from collections import Counter
from pathlib import Path

from cluster import DUMP_EVERY, free_port, start_host, wait_until
from datagram_recorder import Recorder, compare
from following import MAX_POSITION_ERROR_M, compare_run

ROOT = Path(__file__).resolve().parent.parent.parent
DURATION = 9.0
TEXT_CLASSES = "Shuttle2 Capsule1"
MAX_RATIO_CLEAN, MAX_RATIO_LOSSY = 0.05, 0.08

# name: (impair_relay settings on the trunk, or a hostile act)
SCENARIOS = {
    "trunk clean": "none",
    "trunk loss 5 %": "loss=5",
    "trunk 50+-20 ms": "delay=50:20",
    "trunk dup 5 % + reorder": "dup=5,reorder=10:40",
    "trunk wrong key + junk": "wrong-key",
    "trunk replay": "replay",
}


def key_name(name):
    return re.sub(r"[^a-z0-9]+", "-", name.lower()).strip("-")


class ReplayTap(threading.Thread):
    """Between the far end (which sends to `listen`) and the near end: passes
    everything on, and from 3 s on sends every datagram it has seen, both
    ways, once more, a second after it passed."""

    def __init__(self, listen, near, seconds):
        super().__init__(daemon=True)
        self.near = ("127.0.0.1", near)
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind(("127.0.0.1", listen))
        self.sock.settimeout(0.02)
        self.seconds = seconds
        self.replayed = 0

    def run(self):
        far = None
        seen = []  # (when, datagram, destination)
        start = time.time()
        while time.time() - start < self.seconds:
            try:
                data, sender = self.sock.recvfrom(70000)
                if sender != self.near:
                    far = sender
                to = far if sender == self.near else self.near
                if to is not None:
                    self.sock.sendto(data, to)
                    seen.append((time.time(), data, to))
            except socket.timeout:
                pass
            now = time.time()
            while seen and now - seen[0][0] >= 1.0:
                _, data, to = seen.pop(0)
                if now - start >= 3.0:
                    self.sock.sendto(data, to)
                    self.replayed += 1
        self.sock.close()


class TrunkRun:
    def __init__(self, name, bin_dir, out, seed):
        self.name, self.act, self.bin, self.out, self.seed = name, SCENARIOS[name], bin_dir, out, seed
        self.children, self.problems, self.lines = [], [], []
        self.master_port = free_port()
        self.near_port, self.tap_port, self.far_port = free_port(), free_port(), free_port()
        self.key = out / "trunk.key"
        out.mkdir(parents=True, exist_ok=True)
        self.key.write_text(secrets.token_hex(32) + "\n")

    def spawn(self, command, folder, stdout="out.txt", stderr=None):
        folder.mkdir(parents=True, exist_ok=True)
        out = open(folder / stdout, "w")
        err = open(folder / stderr, "w") if stderr else subprocess.STDOUT
        process = subprocess.Popen(command, cwd=folder, stdout=out, stderr=err, stdin=subprocess.DEVNULL)
        out.close()
        if stderr:
            err.close()
        self.children.append(process)
        return process

    def host(self, role, scenario, duration, config, keys=()):
        return start_host(self.spawn, self.bin, ROOT, self.out / role, role, scenario, duration, config, keys)

    def relay(self, name, args, seconds):
        command = [str(self.bin / "helmrelay")] + args + ["--seconds", str(seconds), "--json"]
        process = self.spawn(command, self.out / name, "relay.json", "relay.log")
        process.folder = self.out / name
        return process

    def start(self):
        near_args = [f"127.0.0.1:{self.master_port}", "--trunk-listen", f"127.0.0.1:{self.near_port}",
                     "--trunk-key", str(self.key)]
        self.near = self.relay("near", near_args, DURATION + 1.5)
        self.tap = None
        far_target = self.tap_port
        if self.act == "replay":
            self.tap = ReplayTap(self.tap_port, self.near_port, DURATION + 1.0)
            self.tap.start()
        elif self.act == "wrong-key":
            far_target = self.near_port
        else:
            self.spawn([str(self.bin / "impair_relay"), "--listen", str(self.tap_port), "--master",
                        str(self.near_port), "--seconds", str(DURATION + 1.5), "--seed", str(self.seed),
                        "--both", self.act], self.out / "impair")
        self.far = self.relay("far", ["--trunk", f"127.0.0.1:{far_target}", "--trunk-key", str(self.key),
                                      "--listen", f"127.0.0.1:{self.far_port}"], DURATION + 1.2)
        if self.act == "wrong-key":
            wrong = self.out / "wrong.key"
            wrong.write_text(secrets.token_hex(32) + "\n")
            self.stranger = self.relay("stranger", ["--trunk", f"127.0.0.1:{self.near_port}", "--trunk-key",
                                                    str(wrong), "--listen", "127.0.0.1:0"], DURATION)
            self.spawn([str(self.bin / "hostile_sender"), "junk", "--target", str(self.near_port),
                        "--rate", "200", "--seconds", str(DURATION - 2), "--seed", str(self.seed)],
                       self.out / "junk")
        time.sleep(0.2)
        config = (f"debug = 1\nmasterPort = {self.master_port}\nmaxUpdateRate = 30\n"
                  f"textSyncClasses = {TEXT_CLASSES}\n")
        self.typed = [0x02, 0x03, 0x04, 0x05]
        self.master = self.host("master", "Demo.scn", DURATION,
                                config, keys=[(2.5 + 0.9 * i, c) for i, c in enumerate(self.typed)])
        self.at_master = Recorder(self.master_port, DURATION - 1.0)
        time.sleep(0.3)
        self.behind = Recorder(self.far_port, DURATION - 1.5)
        slave = "debug = 1\nmasterIP = 127.0.0.1\nmasterPort = {}\nswitchFocus = 1\n".format(self.far_port)
        self.slave1 = self.host("slave1", "Demo.scn", DURATION - 0.5, slave)
        time.sleep(0.8)
        self.slave2 = self.host("slave2", "Empty.scn", DURATION - 1.5, slave)

    def finish(self):
        for process in wait_until(self.children, time.time() + DURATION + 20):
            if process in (self.near, self.far):
                self.problems.append(f"{process.args[0]} had to be killed")
        self.at_master.join()
        self.behind.join()
        if self.tap:
            self.tap.join(5)

    def snapshot(self, relay):
        try:
            return json.loads((relay.folder / "relay.json").read_text()).get("trunk") or {}
        except (OSError, ValueError):
            return {}

    def said_at_most_once_a_second(self, relay, phrase):
        seconds = Counter()
        for line in (relay.folder / "relay.log").read_text().splitlines():
            if phrase in line:
                seconds[line[:19]] += 1
        if any(count > 1 for count in seconds.values()):
            self.problems.append(f"{relay.folder.name}: '{phrase}' more than once in a second")
        return sum(seconds.values())

    def analyse(self):
        row = {"scenario": self.name}
        worst = 0.0
        for slave in (self.slave1, self.slave2):
            following = compare_run(slave, [self.master], DUMP_EVERY)
            worst = max(worst, following.largest_error_m)
            if not following.sync_delays or following.never_synced or following.samples < 5:
                self.problems.append(f"{slave.role}: not in step ({following.samples} snapshots)")
            if following.problem_count or following.largest_error_m > MAX_POSITION_ERROR_M:
                self.problems.append(f"{slave.role}: " + "; ".join(following.problems[:3]))
        row["largest error"] = f"{worst:.2f} m"
        compared, differing = compare(self.at_master, self.behind)
        row["datagrams compared / differing"] = f"{compared} / {differing}"
        if compared < 500 or differing:
            self.problems.append(f"{compared} datagrams compared, {differing} differ from the master's")
        near, far = self.snapshot(self.near), self.snapshot(self.far)
        if not near or not far:
            self.problems.append("no trunk figures")
            return row
        row["trunk bytes / update"] = f"{near['trunk_bytes_per_update']:.0f} of {near['raw_bytes_per_update']:.0f}"
        row["ratio"] = f"{100 * near['ratio']:.2f} %"
        row["baseline age"] = near["baseline_age"]
        row["whole at far end"] = f"{far['updates']} of {near['updates']}"
        row["refused near / far"] = (f"{near['auth_failures']}+{near['replays']} / "
                                     f"{far['auth_failures']}+{far['replays']}")
        lossy = self.act not in ("none", "wrong-key", "replay")
        limit = MAX_RATIO_LOSSY if lossy else MAX_RATIO_CLEAN
        if near["ratio"] > limit:
            self.problems.append(f"trunk carries {100 * near['ratio']:.2f} % of raw (target {100 * limit:.0f} %)")
        if far["decode_failures"] > (near["updates"] // 10 if lossy else 0) or far["not_messages"]:
            self.problems.append(f"far end: {far['decode_failures']} decode failures")
        if self.act == "wrong-key":
            if near["auth_failures"] == 0:
                self.problems.append("near end counted no datagram that does not authenticate")
            if self.said_at_most_once_a_second(self.near, "do not authenticate") == 0:
                self.problems.append("near end did not say it dropped unauthenticated datagrams")
        elif self.act == "replay":
            refused = near["replays"] + far["replays"]
            if self.tap.replayed == 0 or refused < self.tap.replayed:
                self.problems.append(f"{self.tap.replayed} replayed, {refused} refused as replays")
            if self.said_at_most_once_a_second(self.far, "seen before") == 0:
                self.problems.append("far end did not say it dropped replayed datagrams")
        elif near["auth_failures"] + far["auth_failures"]:
            self.problems.append("authentication failures on the trunk without a stranger")
        return row

    def stop(self):
        for process in self.children:
            if process.poll() is None:
                process.send_signal(signal.SIGKILL)


def table(rows):
    columns = list(rows[0].keys())
    for row in rows:
        columns += [c for c in row if c not in columns]
    widths = {c: max(len(c), *(len(str(r.get(c, ""))) for r in rows)) for c in columns}
    lines = ["| " + " | ".join(c.ljust(widths[c]) for c in columns) + " |",
             "|" + "|".join("-" * (widths[c] + 2) for c in columns) + "|"]
    for row in rows:
        lines.append("| " + " | ".join(str(row.get(c, "")).ljust(widths[c]) for c in columns) + " |")
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("bin")
    parser.add_argument("out")
    parser.add_argument("--only", default="")
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("--width", type=int, default=3)
    parser.add_argument("--list", action="store_true")
    args, _ = parser.parse_known_args()
    if args.list:
        for name in SCENARIOS:
            print(f"{key_name(name):<24} {name}")
        return 0
    chosen = list(SCENARIOS)
    if args.only:
        wanted = {n.strip() for n in args.only.split(",")}
        chosen = [n for n in chosen if n in wanted or key_name(n) in wanted]
        if not chosen:
            return 0
    bin_dir, out = Path(args.bin).resolve(), Path(args.out).resolve()
    for program in ("simhost", "helmrelay", "impair_relay", "hostile_sender"):
        if not (bin_dir / program).exists():
            print(f"trunk_faults: {bin_dir / program} is missing (build first)", file=sys.stderr)
            return 2
    seed = args.seed if args.seed is not None else random.SystemRandom().randrange(1, 2 ** 31)
    if out.exists():
        import shutil
        shutil.rmtree(out)
    started = time.time()
    print(f"Trunk faults: {len(chosen)} scenarios, {DURATION:.0f} s each, seed {seed}, output {out}", flush=True)
    rows, failed = [], 0
    for at in range(0, len(chosen), max(1, args.width)):
        wave = chosen[at:at + max(1, args.width)]
        print("  running: " + ", ".join(wave), flush=True)
        runs = [TrunkRun(n, bin_dir, out / key_name(n), seed + 100 * list(SCENARIOS).index(n)) for n in wave]
        try:
            for run in runs:
                run.start()
            for run in runs:
                run.finish()
        finally:
            for run in runs:
                run.stop()
        for run in runs:
            row = run.analyse()
            row["follows"] = "no" if run.problems else "yes"
            rows.append(row)
            for problem in run.problems:
                print(f"  {run.name}: {problem}")
            failed += 1 if run.problems else 0
    print()
    print(table(rows))
    print(f"\nSeed {seed}; {time.time() - started:.0f} s; details in {out}")
    print(f"trunk faults: {len(rows) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
