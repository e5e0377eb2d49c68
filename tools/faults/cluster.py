"""One scenario's processes: a master, two slaves behind their relays, and
whatever hostile sender the scenario asks for, each in its own folder under
the scenario's, started and killed on the scenario's timeline.

Every process is a child of this one and is killed by its id when the
suite ends, however it ends.
"""

import json
import os
import re
import signal
import socket
import subprocess
import time
from dataclasses import dataclass, field
from pathlib import Path

import scenarios as timeline

TEXT_CLASSES = "Shuttle2 Capsule1"
DUMP_EVERY = 0.5
# Scan codes for typed keys: one code per tap, so that each event is told
# apart in the dumps; modifiers and the lights key are left out.
KEY_CODES = [c for c in range(0x02, 0x80) if c not in (0x1D, 0x26, 0x2A, 0x36, 0x38, 0x3A)]
FORGED_MJD_OFFSET = 1.0  # days ahead of the master

_children = []


def kill_all_children():
    for process in _children:
        if process.poll() is None:
            try:
                process.kill()
            except OSError:
                pass
    for process in _children:
        try:
            process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            pass


def free_port():
    """A UDP port free on 127.0.0.1 right now."""
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


@dataclass
class Instance:
    """One process of a host (a restarted host is a second instance)."""
    role: str            # master, slave1, slave2
    folder: Path
    scenario_file: str
    duration: float
    keys: list = field(default_factory=list)   # [(seconds after start, scan code, alt)]
    relay: str = ""      # the relay a slave sits behind
    started: float = 0.0  # wall clock
    killed: float = 0.0   # wall clock, 0 when it ran to its end
    exit_code: int = None
    process: object = None

    @property
    def dump(self):
        return self.folder / "state.json"

    @property
    def log(self):
        return self.folder / ("Helmcast.log" if self.role == "master" else "Helmecho.log")

    @property
    def ends(self):
        return self.killed or self.started + self.duration


@dataclass
class Helper:
    """A relay or a hostile sender."""
    what: str
    output: Path
    stats: Path = None
    exit_code: int = None
    process: object = None


class ScenarioRun:
    def __init__(self, scenario, bin_dir, root, out, seed):
        self.scenario = scenario
        self.bin = Path(bin_dir)
        self.root = Path(root)
        self.out = Path(out)
        self.seed = seed
        self.port = free_port()
        self.relay_ports = {"slave1": free_port(), "slave2": free_port()}
        self.instances = []
        self.relays = {}      # seat -> Helper
        self.hostile = []     # Helpers
        self.problems = []    # what went wrong in running it
        self._codes = iter(KEY_CODES)

    # ---- folders and configuration ----

    def _folder(self, name):
        folder = self.out / name
        (folder / "Config").mkdir(parents=True, exist_ok=True)
        (folder / "Scenarios").mkdir(exist_ok=True)
        return folder

    def _master(self, name, scenario_file, duration, key_from):
        folder = self._folder(name)
        (folder / "Config" / "Helmcast.cfg").write_text(
            f"debug = 1\nmasterPort = {self.port}\nmaxUpdateRate = 30\ntextSyncClasses = {TEXT_CLASSES}\n")
        keys, t = [], key_from
        while t <= duration - 2.5:
            code = next(self._codes)
            keys.append((round(t, 2), code, len(keys) % 4 == 3))
            t += timeline.KEY_SPACING
        return Instance("master", folder, scenario_file, duration, keys)

    def _slave(self, role, name, scenario_file, duration):
        folder = self._folder(name)
        (folder / "Config" / "Helmecho.cfg").write_text(
            f"debug = 1\nmasterIP = 127.0.0.1\nmasterPort = {self.relay_ports[role]}\nswitchFocus = 1\n")
        return Instance(role, folder, scenario_file, duration, relay=role)

    # ---- processes ----

    def _spawn(self, command, cwd, output):
        handle = open(output, "w")
        process = subprocess.Popen(command, cwd=cwd, stdout=handle, stderr=subprocess.STDOUT,
                                   stdin=subprocess.DEVNULL)
        handle.close()
        _children.append(process)
        return process

    def _start(self, instance):
        module = "Helmcast.so" if instance.role == "master" else "Helmecho.so"
        command = [str(self.bin / "simhost"), "--root", ".", "--module", str(self.bin / module),
                   "--scenario", instance.scenario_file, "--duration", str(instance.duration),
                   "--classes", str(self.root / "config" / "Vessels"), "--module-dir", str(self.bin),
                   "--realtime", "--quiet", "--dump", "state.json", "--dump-every", str(DUMP_EVERY)]
        for at, code, alt in instance.keys:
            command += ["--key", f"{at}:{code:#x}:tap" + (":alt" if alt else "")]
        instance.started = time.time()
        instance.process = self._spawn(command, instance.folder, instance.folder / "simhost.out")
        self.instances.append(instance)

    def _kill(self, instance):
        if instance.process.poll() is None:
            instance.process.send_signal(signal.SIGKILL)
            instance.killed = time.time()
        else:
            self.problems.append(f"{instance.folder.name} had already ended when it was to be killed")

    def _start_relay(self, seat, seconds):
        folder = self.out / f"relay-{seat}"
        folder.mkdir(parents=True, exist_ok=True)
        seed = self.seed + (1 if seat == "slave1" else 2)
        command = [str(self.bin / "impair_relay"), "--listen", str(self.relay_ports[seat]),
                   "--master", str(self.port), "--seconds", str(seconds), "--seed", str(seed),
                   "--both", self.scenario.link, "--stats", str(folder / "stats.json")]
        self.relays[seat] = Helper(seat, folder / "relay.out", folder / "stats.json",
                                   process=self._spawn(command, folder, folder / "relay.out"))

    def _start_hostile(self, what, mode, target, seconds, extra):
        folder = self.out / f"hostile-{what}"
        folder.mkdir(parents=True, exist_ok=True)
        command = [str(self.bin / "hostile_sender"), mode, "--target", str(target), "--seconds", str(seconds),
                   "--seed", str(self.seed + 10 + len(self.hostile))] + extra
        self.hostile.append(Helper(what, folder / "sender.out",
                                   process=self._spawn(command, folder, folder / "sender.out")))

    def _slave_port(self, instance):
        """The port a slave bound, from its log ("Bound to 0.0.0.0:PORT")."""
        try:
            found = re.search(r"Bound to [\d.]+:(\d+)", instance.log.read_text(errors="replace"))
        except OSError:
            found = None
        return int(found.group(1)) if found else None

    # ---- timeline ----

    def events(self):
        """[(seconds after start, what, action)] of this scenario."""
        s, d = self.scenario, timeline.DURATION
        demo = str(self.root / "scenarios" / "Demo.scn")
        empty = str(self.root / "scenarios" / "Empty.scn")
        slave_time = d + 1.0
        master = self._master("master", demo, d if not s.master_restart else timeline.MASTER_KILL + 5.0,
                              timeline.KEYS_FROM)
        if s.master_restart:  # its keys stop a second before it dies
            master.keys = [k for k in master.keys if k[0] <= timeline.MASTER_KILL - 1.0]
        slave1 = self._slave("slave1", "slave1", demo, slave_time - timeline.SLAVE1_START)
        slave2 = self._slave("slave2", "slave2", empty, slave_time - timeline.SLAVE2_START)
        events = [
            (0.0, "relays", lambda: [self._start_relay(seat, d + 4.0) for seat in ("slave1", "slave2")]),
            (0.05, "master", lambda: self._start(master)),
            (timeline.SLAVE1_START, "slave1", lambda: self._start(slave1)),
            (timeline.SLAVE2_START, "slave2", lambda: self._start(slave2)),
        ]
        if s.master_restart:
            saved = str(master.folder / "Scenarios" / "000Velsync.scn")
            again = self._master("master-2", saved, d - timeline.MASTER_RESTART, 2.0)
            events += [(timeline.MASTER_KILL, "kill master", lambda: self._kill(master)),
                       (timeline.MASTER_RESTART, "master again", lambda: self._start(again))]
        if s.slave_restart:
            new_slave = self._slave("slave2", "slave2-2", empty, slave_time - timeline.SLAVE_RESTART)
            events += [(timeline.SLAVE_KILL, "kill slave2", lambda: self._kill(slave2)),
                       (timeline.SLAVE_RESTART, "new slave2", lambda: self._start(new_slave))]
        flood = timeline.FLOOD_UNTIL - timeline.FLOOD_FROM
        if s.junk_rate:
            events.append((timeline.FLOOD_FROM, "junk", lambda: self._start_hostile(
                "junk", "junk", self.port, flood, ["--rate", str(s.junk_rate)])))
        if s.spoofed_ports:
            events.append((timeline.FLOOD_FROM, "hellos", lambda: self._start_hostile(
                "hellos", "hellos", self.port, flood, ["--ports", str(s.spoofed_ports)])))
        if s.stranger_at_slave:
            events.append((timeline.FLOOD_FROM, "stranger", lambda: self._stranger(slave1, flood)))
        return events

    def _stranger(self, slave, seconds):
        port = self._slave_port(slave)
        if port is None:
            self.problems.append("slave1's port not found in its log: no stranger sent")
            return
        mjd = self._start_mjd() + FORGED_MJD_OFFSET
        self._start_hostile("forge", "forge", port, seconds, ["--rate", "20", "--mjd", str(mjd)])
        self._start_hostile("junk", "junk", port, seconds, ["--rate", "200"])

    def _start_mjd(self):
        found = re.search(r"Date\s+MJD\s+([\d.]+)", (self.root / "scenarios" / "Demo.scn").read_text())
        return float(found.group(1)) if found else 60000.0

    def wait(self, deadline):
        """Waits for every process to end by itself; kills what is left at the deadline."""
        for item in self.instances + list(self.relays.values()) + self.hostile:
            left = max(0.1, deadline - time.time())
            try:
                item.process.wait(timeout=left)
            except subprocess.TimeoutExpired:
                item.process.kill()
                item.process.wait(timeout=5)
                self.problems.append(f"{' '.join(item.process.args[:2])} had to be killed at the deadline")
            item.exit_code = item.process.returncode

    def save(self):
        """What the analysis needs, so that it can be run again on these folders."""
        def plain(item):
            return {k: (str(v) if isinstance(v, Path) else v) for k, v in item.__dict__.items() if k != "process"}
        record = {"scenario": self.scenario.name, "problems": self.problems,
                  "instances": [plain(i) for i in self.instances],
                  "relays": {seat: plain(h) for seat, h in self.relays.items()},
                  "hostile": [plain(h) for h in self.hostile]}
        (self.out / "run.json").write_text(json.dumps(record, indent=1))


class SavedRun:
    """A ScenarioRun as its run.json left it."""

    def __init__(self, folder):
        record = json.loads((Path(folder) / "run.json").read_text())
        self.scenario = next(s for s in timeline.SCENARIOS if s.name == record["scenario"])
        self.problems = record["problems"]
        self.instances = [Instance(**dict(i, folder=Path(i["folder"]))) for i in record["instances"]]
        for instance in self.instances:
            instance.keys = [tuple(k) for k in instance.keys]
        self.relays = {seat: Helper(**h) for seat, h in record["relays"].items()}
        self.hostile = [Helper(**h) for h in record["hostile"]]


def run_wave(runs, log):
    """Runs the scenarios of one wave side by side on one timeline."""
    schedule = []
    for run in runs:
        for at, what, action in run.events():
            schedule.append((at, run, what, action))
    schedule.sort(key=lambda item: item[0])
    start = time.time() + 0.2
    for at, run, what, action in schedule:
        delay = start + at - time.time()
        if delay > 0:
            time.sleep(delay)
        try:
            action()
        except OSError as error:
            run.problems.append(f"{what}: {error}")
    deadline = start + timeline.DURATION + 15.0
    for run in runs:
        run.wait(deadline)
        run.save()
    log(f"  wave of {len(runs)} done in {time.time() - start:.1f} s")


def install_signal_cleanup():
    def stop(signum, _frame):
        kill_all_children()
        os._exit(128 + signum)
    for signum in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(signum, stop)
