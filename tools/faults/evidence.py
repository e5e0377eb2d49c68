"""What the processes left behind: log lines with their time stamps, the
master's client table as its log tells it, the slaves' link statistics, the
relays' counts and what the hostile senders and a helmrelay printed."""

import json
import re
from datetime import datetime

STAMP = re.compile(r"^(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}) ")
SUBSCRIBED = re.compile(r"Client (\d+\.\d+\.\d+\.\d+):(\d+) subscribed")
TIMED_OUT = re.compile(r"Client #(\d+) timed out")
UNCONFIRMED = re.compile(r"Client (\d+\.\d+\.\d+\.\d+):(\d+) acknowledges too few updates")
STATISTICS = re.compile(r"Pkts: (-?\d+) lost: (-?\d+) \(.*?\) dropped: (-?\d+)")
BOUND = re.compile(r"Bound to [\d.]+:(\d+)")
PEER = re.compile(r"^peer 127\.0\.0\.1:(\d+) via 127\.0\.0\.1:(\d+) at ([\d.]+)")
LINES_HELD = re.compile(r"Client lines not written one by one")
RELAY_SUBSCRIBED = re.compile(r"helmrelay: client [\d.]+:\d+ subscribed \((\d+) of \d+\)")
UNSAFE_CLASS = re.compile(r"vessel (\S+): class name \"(.*)\" is no safe file name")
HOST_LOOKUP = re.compile(r"no description of vessel class \"(.*)\"")


def log_lines(path):
    """[(wall seconds, text)] of a module log; lines without a stamp are skipped."""
    lines = []
    try:
        with open(path, encoding="utf-8", errors="replace") as handle:
            for line in handle:
                found = STAMP.match(line)
                if found:
                    # The modules stamp local time, as this process reads it.
                    when = datetime.strptime(found.group(1), "%Y-%m-%d %H:%M:%S.%f").timestamp()
                    lines.append((when, line.rstrip("\n")))
    except OSError:
        pass
    return lines


class ClientTable:
    """The master's client list, replayed from its log: subscriptions append,
    time-outs remove by position, clients that acknowledge too few updates
    by address."""

    def __init__(self, master_log):
        self.largest = 0
        self.subscribed = []   # (wall, port)
        self.timed_out = []    # (wall, port)
        self.unknown_removals = 0
        self.lines_held = False  # the master wrote some client lines only as a count
        table = []
        for when, text in log_lines(master_log):
            if LINES_HELD.search(text):
                self.lines_held = True
            found = SUBSCRIBED.search(text)
            if found:
                table.append(int(found.group(2)))
                self.subscribed.append((when, int(found.group(2))))
                self.largest = max(self.largest, len(table))
                continue
            found = TIMED_OUT.search(text)
            if found:
                position = int(found.group(1))
                if 0 <= position < len(table):
                    self.timed_out.append((when, table.pop(position)))
                else:
                    self.unknown_removals += 1
                continue
            # A client that stopped acknowledging leaves by name, sooner
            # than a time-out would take it.
            found = UNCONFIRMED.search(text)
            if found:
                port = int(found.group(2))
                if port in table:
                    table.remove(port)
                    self.timed_out.append((when, port))
                else:
                    self.unknown_removals += 1

    def subscription_of(self, port, after=0.0):
        return next((when for when, p in self.subscribed if p == port and when >= after), None)

    def time_out_of(self, port, after=0.0):
        return next((when for when, p in self.timed_out if p == port and when >= after), None)


def slave_port(slave_log):
    for _, text in log_lines(slave_log):
        found = BOUND.search(text)
        if found:
            return int(found.group(1))
    return None


def link_statistics(slave_log):
    """(packets, lost, dropped) summed over the slave's statistics lines."""
    packets = lost = dropped = 0
    for _, text in log_lines(slave_log):
        found = STATISTICS.search(text)
        if found:
            packets += int(found.group(1))
            lost += int(found.group(2))
            dropped += int(found.group(3))
    return packets, lost, dropped


def relay_peers(relay_output):
    """{slave port: (upstream port, first seen wall)} as the relay printed them."""
    peers = {}
    try:
        with open(relay_output, encoding="utf-8", errors="replace") as handle:
            for line in handle:
                found = PEER.match(line)
                if found:
                    peers[int(found.group(1))] = (int(found.group(2)), float(found.group(3)))
    except OSError:
        pass
    return peers


def relay_counts(stats_file):
    try:
        with open(stats_file, encoding="utf-8") as handle:
            return json.load(handle)
    except (OSError, ValueError):
        return None


def sender_summary(output):
    try:
        with open(output, encoding="utf-8", errors="replace") as handle:
            found = re.search(r"sent (\d+) datagrams", handle.read())
    except OSError:
        found = None
    return int(found.group(1)) if found else None


def relay_updates(stats_file):
    """{slave port: its peer entry} of an impairment relay: first_seen and
    first_update (wall), whole_updates, longest_wait (seconds)."""
    counts = relay_counts(stats_file) or {}
    return {int(peer["slave"].rsplit(":", 1)[1]): peer for peer in counts.get("peers", [])}


def text_of(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as handle:
            return handle.read()
    except (OSError, TypeError):
        return ""


def helmrelay_largest_table(output):
    """The most clients a helmrelay told of at once."""
    return max((int(n) for n in RELAY_SUBSCRIBED.findall(text_of(output))), default=0)


def reflected(output):
    """(bytes sent, bytes that came back) of a reflect sender, over its ports; None without its lines."""
    found = re.findall(r"reflect: port \d+ sent (\d+) bytes in \d+ Hellos, got back (\d+) bytes", text_of(output))
    if not found:
        return None
    return sum(int(sent) for sent, _ in found), sum(int(back) for _, back in found)


def fleet_names(output):
    """Distinct vessel names a fleet sender sent, None without its line."""
    found = re.search(r"fleet: \d+ vessel messages with (\d+) distinct names", text_of(output))
    return int(found.group(1)) if found else None


def unsafe_names_sent(output):
    found = re.search(r"classes: (\d+) unsafe class names", text_of(output))
    return int(found.group(1)) if found else None


def unsafe_class_lines(slave_log):
    """[(vessel, class)] of the slave's lines about class names that are no safe file name."""
    return [found.groups() for _, text in log_lines(slave_log) for found in [UNSAFE_CLASS.search(text)] if found]


def host_class_lookups(host_output):
    """Class names the host looked for and found no description of."""
    return HOST_LOOKUP.findall(text_of(host_output))
