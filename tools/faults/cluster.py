"""One scenario's processes: a master, two slaves behind their relays (and
a helmrelay in front of one), whatever hostile senders the scenario asks
for, and a slave whose master is one of them, each in its own folder under
the scenario's, started and killed on the scenario's timeline.

Every process is a child of this one and is killed by its id when the
suite ends, however it ends.
"""

import errno
import json
import os
import random
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
VICTIM_DUMP_EVERY = 1.0  # its sky holds up to maxVessels vessels

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


def _ephemeral_low():
    """The lowest port the system hands out to sockets bound to port 0."""
    try:
        with open("/proc/sys/net/ipv4/ip_local_port_range") as ports:
            return int(ports.read().split()[0])
    except (OSError, ValueError, IndexError):
        return 32768


_handed_out = set()
_port_choice = random.Random()
# Capture tools take UDP to these ports for traceroute probes and mark every
# datagram so; a recorded run on one would read as broken.
TRACEROUTE_PORTS = range(33434, 33535)


def free_port():
    """A UDP port free on 127.0.0.1 right now, below the range the system
    gives to sockets bound to port 0: a program started later (a relay's own
    socket, say) cannot be given it before its owner binds it. Each port is
    handed out once per run."""
    low = max(1024, min(_ephemeral_low(), 65536) - 12000)
    high = min(_ephemeral_low(), 65536) - 1
    for _ in range(1000):
        port = _port_choice.randint(low, high)
        if port in _handed_out or port in TRACEROUTE_PORTS:
            continue
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
            try:
                probe.bind(("127.0.0.1", port))
            except OSError:
                continue
        _handed_out.add(port)
        return port
    raise RuntimeError(f"no free UDP port on 127.0.0.1 in {low} to {high}")


def prepare_host(folder, role, config):
    """A host's folder: Config/ with the module's configuration, Scenarios/."""
    (folder / "Config").mkdir(parents=True, exist_ok=True)
    (folder / "Scenarios").mkdir(exist_ok=True)
    module = "Helmcast" if role == "master" else "Helmecho"
    (folder / "Config" / f"{module}.cfg").write_text(config)


def simhost_command(bin_dir, root, role, scenario_file, duration, keys=(), dump_every=None):
    """A simhost running the master's module (role "master") or the slave's,
    in real time, dumping its state every `dump_every` seconds; `keys` are
    (time, scan code) or (time, scan code, with Alt) taps."""
    module = "Helmcast.so" if role == "master" else "Helmecho.so"
    command = [str(bin_dir / "simhost"), "--root", ".", "--module", str(bin_dir / module),
               "--scenario", str(scenario_file), "--duration", str(duration),
               "--classes", str(root / "config" / "Vessels"), "--module-dir", str(bin_dir),
               "--realtime", "--quiet", "--dump", "state.json", "--dump-every", str(dump_every or DUMP_EVERY)]
    for key in keys:
        at, code, alt = (tuple(key) + (False,))[:3]
        command += ["--key", f"{at}:{code:#x}:tap" + (":alt" if alt else "")]
    return command


def wait_until(processes, deadline):
    """Waits for each process until the wall-clock `deadline`, and kills
    those still running then; returns the killed ones."""
    killed = []
    for process in processes:
        try:
            process.wait(timeout=max(0.1, deadline - time.time()))
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait(timeout=10)
            killed.append(process)
    return killed


def start_host(spawn, bin_dir, root, folder, role, scenario, duration, config, keys=()):
    """A simhost with the master's or the slave's module in `folder`, on a
    scenario of scenarios/, started now by `spawn(command, folder, output)`."""
    prepare_host(folder, role, config)
    command = simhost_command(bin_dir, root, role, root / "scenarios" / scenario, duration, keys)
    instance = Instance(role, folder, scenario, duration, list(keys), started=time.time())
    instance.process = spawn(command, folder, "simhost.out")
    return instance


@dataclass
class Instance:
    """One process of a host (a restarted host is a second instance)."""
    role: str            # master, slave1, slave2
    folder: Path
    scenario_file: str
    duration: float
    keys: list = field(default_factory=list)   # [(seconds after start, scan code, alt)]
    relay: str = ""      # the relay a slave sits behind
    dump_every: float = DUMP_EVERY
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
    label: str = ""      # a hostile sender's: what it is in the table
    mode: str = ""       # its hostile_sender mode
    at: str = ""         # master, relay or slave1
    code: int = None     # the scan code of its keys


class ScenarioRun:
    def __init__(self, scenario, bin_dir, root, out, seed):
        self.scenario = scenario
        self.bin = Path(bin_dir)
        self.root = Path(root)
        self.out = Path(out)
        self.seed = seed
        self.port = free_port()
        self.relay_ports = {"slave1": free_port(), "slave2": free_port()}
        self.helm_port = free_port() if scenario.helmrelay else None
        self.fake_port = free_port() if scenario.fake_master else None
        self.instances = []
        self.relays = {}      # seat -> Helper
        self.hostile = []     # Helpers
        self.helmrelay = None  # Helper
        self.fake_master = None  # Helper
        self.memory = []      # [(wall, VmHWM kB, VmRSS kB)] of the fake master's slave
        self.bind = None      # what a second socket on the master's port met
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

    def _victim(self, scenario_file, duration):
        """A slave whose master is the fake master."""
        folder = self._folder("victim")
        (folder / "Config" / "Helmecho.cfg").write_text(
            f"debug = 1\nmasterIP = 127.0.0.1\nmasterPort = {self.fake_port}\n"
            f"maxVessels = {timeline.MAX_VESSELS}\n")
        return Instance("victim", folder, scenario_file, duration, dump_every=VICTIM_DUMP_EVERY)

    # ---- processes ----

    def _spawn(self, command, cwd, output):
        handle = open(output, "w")
        process = subprocess.Popen(command, cwd=cwd, stdout=handle, stderr=subprocess.STDOUT,
                                   stdin=subprocess.DEVNULL)
        handle.close()
        _children.append(process)
        return process

    def _start(self, instance):
        command = simhost_command(self.bin, self.root, instance.role, instance.scenario_file, instance.duration,
                                  instance.keys, instance.dump_every)
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
        upstream = self.helm_port if seat == "slave2" and self.helm_port else self.port
        command = [str(self.bin / "impair_relay"), "--listen", str(self.relay_ports[seat]),
                   "--master", str(upstream), "--seconds", str(seconds), "--seed", str(seed),
                   "--both", self.scenario.link, "--stats", str(folder / "stats.json")]
        self.relays[seat] = Helper(seat, folder / "relay.out", folder / "stats.json",
                                   process=self._spawn(command, folder, folder / "relay.out"))

    def _start_helmrelay(self, seconds):
        folder = self.out / "helmrelay"
        folder.mkdir(parents=True, exist_ok=True)
        command = [str(self.bin / "helmrelay"), f"127.0.0.1:{self.port}", "--listen", f"127.0.0.1:{self.helm_port}",
                   "--seconds", str(seconds)]
        self.helmrelay = Helper("helmrelay", folder / "relay.out",
                                process=self._spawn(command, folder, folder / "relay.out"))

    def _start_hostile(self, what, mode, target, seconds, extra, **about):
        folder = self.out / f"hostile-{what}"
        folder.mkdir(parents=True, exist_ok=True)
        command = [str(self.bin / "hostile_sender"), mode, "--target", str(target), "--seconds", str(seconds),
                   "--seed", str(self.seed + 10 + len(self.hostile))] + extra
        self.hostile.append(Helper(what, folder / "sender.out", mode=mode,
                                   process=self._spawn(command, folder, folder / "sender.out"), **about))

    def _attack(self, attack, slave1, master, seconds):
        if attack.at == "slave1":
            port = self._slave_port(slave1)
            if port is None:
                self.problems.append(f"slave1's port not found in its log: no {attack.mode} sent")
                return
        else:
            port = self.helm_port if attack.at == "relay" else self.port
        extra = list(attack.args)
        if attack.code is not None:
            extra += ["--code", str(attack.code)]
        if attack.mode == "fleet":  # the master's date now: what slave1 would take
            extra += ["--mjd", repr(self._start_mjd("Demo.scn") + (time.time() - master.started) / 86400.0)]
        what = f"{len(self.hostile)}-{attack.mode}-{attack.at}"
        self._start_hostile(what, attack.mode, port, seconds, extra, label=attack.label, at=attack.at,
                            code=attack.code)

    def _start_fake_master(self, seconds):
        folder = self.out / "fake-master"
        folder.mkdir(parents=True, exist_ok=True)
        mode = self.scenario.fake_master
        command = [str(self.bin / "hostile_sender"), mode, "--listen", str(self.fake_port), "--seconds", str(seconds),
                   "--rate", "20", "--mjd", repr(self._start_mjd("Empty.scn")), "--seed", str(self.seed + 9)]
        if mode == "fleet":
            command += ["--vessels", str(timeline.FLEET_NAMES), "--per-update", "100", "--delay", "2.0"]
        self.fake_master = Helper("fake master", folder / "sender.out", label=f"{mode} as the master", mode=mode,
                                  process=self._spawn(command, folder, folder / "sender.out"))

    def _sample_memory(self, instance):
        """The peak and present resident size of a running host, from the kernel."""
        if instance.process is None or instance.process.poll() is not None:
            return
        try:
            status = Path(f"/proc/{instance.process.pid}/status").read_text()
        except OSError:
            return
        hwm = re.search(r"VmHWM:\s+(\d+) kB", status)
        rss = re.search(r"VmRSS:\s+(\d+) kB", status)
        if hwm and rss:
            self.memory.append((time.time(), int(hwm.group(1)), int(rss.group(1))))

    def _bind_check(self):
        """A second socket tries the master's port with address (and port)
        reuse; the same on a port whose holder allows reuse shows it could."""
        def attempt(port, options):
            with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
                for option in options:
                    probe.setsockopt(socket.SOL_SOCKET, option, 1)
                try:
                    probe.bind(("127.0.0.1", port))
                    return "bound"
                except OSError as error:
                    return errno.errorcode.get(error.errno, str(error.errno))
        reuse = [socket.SO_REUSEADDR]
        both = reuse + [socket.SO_REUSEPORT]
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as holder:
            for option in both:
                holder.setsockopt(socket.SOL_SOCKET, option, 1)
            holder.bind(("127.0.0.1", 0))
            control = attempt(holder.getsockname()[1], both)
        self.bind = {"SO_REUSEADDR": attempt(self.port, reuse), "SO_REUSEADDR+SO_REUSEPORT": attempt(self.port, both),
                     "control": control}

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
        s, d = self.scenario, self.scenario.duration
        demo = str(self.root / "scenarios" / "Demo.scn")
        empty = str(self.root / "scenarios" / "Empty.scn")
        slave_time = d + 1.0
        events = self._fake_master_events(empty, d) if s.fake_master else []
        if not s.cluster:
            return events
        master = self._master("master", demo, d if not s.master_restart else timeline.MASTER_KILL + 5.0,
                              timeline.KEYS_FROM)
        if s.master_restart:  # its keys stop a second before it dies
            master.keys = [k for k in master.keys if k[0] <= timeline.MASTER_KILL - 1.0]
        slave2_start = s.late_slave or timeline.SLAVE2_START
        slave1 = self._slave("slave1", "slave1", demo, slave_time - timeline.SLAVE1_START)
        slave2 = self._slave("slave2", "slave2", empty, slave_time - slave2_start)
        events += [
            (0.0, "relays", lambda: [self._start_relay(seat, d + 4.0) for seat in ("slave1", "slave2")]),
            (0.05, "master", lambda: self._start(master)),
            (timeline.SLAVE1_START, "slave1", lambda: self._start(slave1)),
            (slave2_start, "slave2", lambda: self._start(slave2)),
        ]
        if s.helmrelay:
            events.append((0.1, "helmrelay", lambda: self._start_helmrelay(d + 2.0)))
        attack_time = d - timeline.ATTACK_LEFT - timeline.ATTACK_FROM
        for attack in s.attacks:
            events.append((timeline.ATTACK_FROM, attack.label,
                           lambda a=attack: self._attack(a, slave1, master, attack_time)))
        if s.bind_check:
            events.append((3.0, "bind", self._bind_check))
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

    def _fake_master_events(self, empty, d):
        victim = self._victim(empty, d - 1.0)
        events = [(0.5, "fake master", lambda: self._start_fake_master(d - 1.0)),
                  (1.0, "victim", lambda: self._start(victim))]
        at = timeline.FLEET_MEMORY_FROM
        while at < d - 0.3:
            events.append((at, "memory", lambda: self._sample_memory(victim)))
            at += 0.5
        return events

    def _stranger(self, slave, seconds):
        port = self._slave_port(slave)
        if port is None:
            self.problems.append("slave1's port not found in its log: no stranger sent")
            return
        mjd = self._start_mjd() + FORGED_MJD_OFFSET
        self._start_hostile("forge", "forge", port, seconds, ["--rate", "20", "--mjd", str(mjd)])
        self._start_hostile("junk", "junk", port, seconds, ["--rate", "200"])

    def _start_mjd(self, scenario_file="Demo.scn"):
        found = re.search(r"Date\s+MJD\s+([\d.]+)", (self.root / "scenarios" / scenario_file).read_text())
        return float(found.group(1)) if found else 60000.0

    def helpers(self):
        return list(self.relays.values()) + self.hostile + [h for h in (self.helmrelay, self.fake_master) if h]

    def wait(self, deadline):
        """Waits for every process to end by itself; kills what is left at the deadline."""
        for item in self.instances + self.helpers():
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
                  "hostile": [plain(h) for h in self.hostile],
                  "helmrelay": plain(self.helmrelay) if self.helmrelay else None,
                  "fake_master": plain(self.fake_master) if self.fake_master else None,
                  "memory": self.memory, "bind": self.bind}
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
        self.helmrelay = Helper(**record["helmrelay"]) if record.get("helmrelay") else None
        self.fake_master = Helper(**record["fake_master"]) if record.get("fake_master") else None
        self.memory = record.get("memory", [])
        self.bind = record.get("bind")


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
    deadline = start + max(run.scenario.duration for run in runs) + 15.0
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
