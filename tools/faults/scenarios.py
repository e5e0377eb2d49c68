"""The fault suite's scenarios and the one timeline they share.

Every scenario runs a master and two slaves (slave1 from the master's own
scenario, slave2 from an empty sky), each slave behind its own impairment
relay. Times are seconds after the scenario's start.
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


@dataclass(frozen=True)
class Scenario:
    name: str
    link: str = "none"            # impairments of both relays, both directions
    master_restart: bool = False  # master killed (-9), started again from the scenario it saved
    slave_restart: bool = False   # slave2 killed (-9), a new slave2 started later
    junk_rate: float = 0.0        # invalid datagrams a second at the master's port
    spoofed_ports: int = 0        # Hellos from this many source ports, once a second
    stranger_at_slave: bool = False  # forged master messages and junk at slave1's own port
    all_keys: bool = False        # target: every key typed arrives
    alone: bool = False           # too heavy to share the machine with other scenarios

    @property
    def flood(self):
        return self.junk_rate > 0


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
]


def key_name(scenario):
    """A short folder name."""
    return re.sub(r"[^a-z0-9]+", "-", scenario.name.lower()).strip("-")


def waves(scenarios, width):
    """Groups that run at the same time: at most `width` scenarios, a heavy one alone."""
    groups, current = [], []
    for scenario in scenarios:
        if scenario.alone:
            groups.append([scenario])
            continue
        current.append(scenario)
        if len(current) == width:
            groups.append(current)
            current = []
    if current:
        groups.append(current)
    return groups
