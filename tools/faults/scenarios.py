"""The fault suite's scenarios and the one timeline they share.

Every scenario runs a master and two slaves (slave1 from the master's own
scenario, slave2 from an empty sky), each slave behind its own impairment
relay; slave2 may sit behind a helmrelay too. The short hostile scenarios
add senders aimed at the master, the helmrelay or slave1, and a slave whose
master is a hostile sender. Times are seconds after the scenario's start.
"""

import re
from dataclasses import dataclass

DURATION = 20.0           # the master's run
SLAVE1_START = 0.3
SLAVE2_START = 0.6
KEYS_FROM, KEY_SPACING = 2.5, 0.4   # keys typed in the master, until DURATION - 2.5
FLOOD_FROM, FLOOD_UNTIL = 3.0, 17.0  # hostile senders
SLAVE_KILL, SLAVE_RESTART = 7.0, 10.0
MASTER_KILL, MASTER_RESTART = 11.0, 12.0  # the master saves its scenario every 10 s
MAX_CLIENTS = 64          # the master's default client cap

MAX_SUBSCRIBE_S = 1.0     # a new slave under a flood
MAX_DROP_S = 3.5          # a killed slave

# The short hostile scenarios.
SHORT = 10.0
ATTACK_FROM = 2.0         # until the scenario's end less ATTACK_LEFT
ATTACK_LEFT = 1.5
LATE_SLAVE = 4.0          # a slave started during the attack
MAX_FIRST_UPDATE_S = 0.5  # its first Hello to its first whole update
MAX_WAIT_S = 1.0          # between two whole updates of a slave that is up
MAX_REFLECTED = 1.0       # bytes sent to a sender that never acknowledges, per byte it sent
MAX_VESSELS = 1000        # the slave's default maxVessels
MAX_MEMORY_GROWTH_MB = 20.0
FLEET_NAMES = 10000
FLEET_MEMORY_FROM = 2.5   # the fake master's vessels begin a little later


@dataclass(frozen=True)
class Attack:
    mode: str             # a hostile_sender mode
    at: str               # "master", "relay" (the helmrelay) or "slave1"
    args: tuple = ()
    label: str = ""
    code: int = None      # scan code of its keys, told apart in the dumps


@dataclass(frozen=True)
class Scenario:
    name: str
    link: str = "none"            # impairments of both relays, both directions
    master_restart: bool = False  # master killed (-9), started again from the scenario it saved
    slave_restart: bool = False   # slave2 killed (-9), a new slave2 started later
    junk_rate: float = 0.0        # invalid datagrams a second at the master's port
    spoofed_ports: int = 0        # Hellos from this many source ports, once a second
    stranger_at_slave: bool = False  # forged master messages and junk at slave1's own port
    all_keys: bool = False        # target: every key typed arrives, in typed order
    alone: bool = False           # too heavy to share the machine with other scenarios
    duration: float = DURATION
    helmrelay: bool = False       # slave2 behind a helmrelay, which subscribes to the master
    late_slave: float = None      # slave2 starts this late, during the attacks
    attacks: tuple = ()
    fake_master: str = ""         # "fleet" or "classes": a third slave, its master a hostile sender
    cluster: bool = True          # False: only the slave of the fake master
    bind_check: bool = False      # a second socket tries the master's port

    @property
    def flood(self):
        return self.junk_rate > 0

    @property
    def reorders(self):
        """Whether the link can put a later datagram before an earlier one."""
        return "reorder=" in self.link or re.search(r"delay=\d+:[1-9]", self.link) is not None

    @property
    def never_acknowledged(self):
        """Its hostile subscribers never acknowledge: none of them may become a client."""
        return bool(self.spoofed_ports) or any(a.mode in ("reflect", "hello-flood", "hello-keys", "keys")
                                               for a in self.attacks)


def _at_master_and_relay(mode, args, label, codes=(None, None)):
    return (Attack(mode, "master", args, f"{label} at the master", codes[0]),
            Attack(mode, "relay", args, f"{label} at the relay", codes[1]))


SCENARIOS = [
    Scenario("clean", all_keys=True),
    Scenario("loss 5 %", link="loss=5"),
    Scenario("loss 20 %", link="loss=20"),
    Scenario("dup 5 % + reorder", link="dup=5,reorder=10:40", all_keys=True),
    Scenario("50+-20 ms + loss 2 %", link="delay=50:20,loss=2"),
    Scenario("jitter 200+-100 ms", link="delay=200:100", all_keys=True),
    Scenario("dup 30 %", link="dup=30"),
    Scenario("master restart", master_restart=True),
    Scenario("slave kill -9 + restart", slave_restart=True),
    Scenario("stranger at slave", stranger_at_slave=True),
    Scenario("junk 200/s", junk_rate=200, slave_restart=True),
    Scenario("junk 2000/s", junk_rate=2000, slave_restart=True),
    Scenario("spoofed Hellos x1000", spoofed_ports=1000, alone=True),
    Scenario("reflection", duration=SHORT, helmrelay=True,
             attacks=_at_master_and_relay("reflect", ("--count", "1"), "one Hello")
             + _at_master_and_relay("reflect", ("--count", "0", "--interval", "1"), "a Hello a second")),
    Scenario("stranger keys", duration=SHORT, helmrelay=True,
             attacks=_at_master_and_relay("keys", ("--rate", "20", "--ports", "100"), "keys", (250, 251))),
    Scenario("Hello then keys", duration=SHORT, helmrelay=True,
             attacks=_at_master_and_relay("hello-keys", ("--rate", "20", "--delay", "0.05"), "Hello, keys",
                                          (252, 253))),
    Scenario("Hello+Ack x64 ports", duration=SHORT, late_slave=LATE_SLAVE,
             attacks=(Attack("hello-ack", "master", ("--ports", "64", "--interval", "2"), "64 ports"),)),
    Scenario("unsafe class names", duration=SHORT, fake_master="classes", cluster=False),
    Scenario("forged fleet", duration=SHORT, fake_master="fleet", bind_check=True,
             attacks=(Attack("fleet", "slave1", ("--vessels", str(FLEET_NAMES), "--rate", "20", "--per-update",
                                                 "100"), "a stranger's fleet at slave1"),)),
    Scenario("Hello flood 10k/s", duration=SHORT, late_slave=LATE_SLAVE,
             attacks=(Attack("hello-flood", "master", ("--rate", "10000"), "Hellos"),)),
    Scenario("Hello flood 10k/s at a relay", duration=SHORT, late_slave=LATE_SLAVE, helmrelay=True,
             attacks=(Attack("hello-flood", "relay", ("--rate", "10000"), "Hellos"),)),
]


def key_name(scenario):
    """A short folder name."""
    return re.sub(r"[^a-z0-9]+", "-", scenario.name.lower()).strip("-")


def waves(scenarios, width):
    """Groups that run at the same time: at most `width` scenarios of one
    length (one without the master and its slaves does not count), a heavy
    one alone."""
    groups, current = [], {}
    for scenario in scenarios:
        if scenario.alone:
            groups.append([scenario])
            continue
        group = current.setdefault(scenario.duration, [])
        group.append(scenario)
        if sum(1 for s in group if s.cluster) == width:
            groups.append(group)
            del current[scenario.duration]
    return groups + list(current.values())
