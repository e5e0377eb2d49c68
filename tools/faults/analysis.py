"""Turns what one scenario's processes left behind into its row of the table
and the targets it missed."""

import bisect
from collections import Counter
from dataclasses import dataclass, field

import evidence
import scenarios as timeline
from cluster import DUMP_EVERY
from following import MAX_POSITION_ERROR_M, MAX_VELOCITY_ERROR_MS, compare_run, timed_snapshots
from report import seconds

# Keys typed this close to a slave's subscription or end are not expected:
# the first update may still be on its way, the last dump already written.
KEY_MARGIN_AFTER_SUBSCRIBING = 0.5
KEY_MARGIN_BEFORE_END = 1.0


@dataclass
class Result:
    name: str
    follows: bool = True
    largest_error_m: float = 0.0
    resync_s: float = None
    loss_reported: float = None
    loss_injected: float = None
    discarded: int = 0
    keys_delivered: int = 0
    keys_lost: int = 0
    keys_doubled: int = 0
    keys_foreign: int = 0
    keys_out_of_order: int = 0     # events that would have to move for the typed order
    subscribe_s: float = None      # slowest subscription of any slave
    new_slave_s: float = None      # the slave started during the run
    drop_s: float = None           # the killed slave's time-out
    cut_off: int = 0               # time-outs of slaves that were alive
    largest_table: int = 0
    sent_by_stranger: int = None
    misses: list = field(default_factory=list)
    notes: list = field(default_factory=list)


def span(value):
    text = seconds(value)
    return text if text in ("-", "never") else text + " s"


def events_of(snapshots):
    """Counter of (scan code, down) over every vessel of the last snapshot."""
    return Counter(event for sequence in sequences_of(snapshots) for event in sequence)


def sequences_of(snapshots):
    """Each vessel's received key events, in the order received, from the last snapshot."""
    if not snapshots:
        return []
    return [[(code, bool(down)) for code, down in vessel.get("keys", [])] for vessel in snapshots[-1][2].values()]


def out_of_order(sequence, rank):
    """How many events of the sequence must move to put it in typed order:
    its length less its longest run in order (first copies of typed events only)."""
    seen, ranks = set(), []
    for event in sequence:
        if event in rank and event not in seen:
            seen.add(event)
            ranks.append(rank[event])
    tails = []  # tails[k]: smallest last rank of an ordered run of k + 1 events
    for value in ranks:
        at = bisect.bisect_left(tails, value)
        tails[at:at + 1] = [value]
    return len(ranks) - len(tails)


class Analysis:
    def __init__(self, run):
        self.run = run
        self.scenario = run.scenario
        self.result = Result(run.scenario.name)
        self.masters = [i for i in run.instances if i.role == "master"]
        self.slaves = [i for i in run.instances if i.role != "master"]
        self.tables = {id(m): evidence.ClientTable(m.log) for m in self.masters}
        self.peers = {seat: evidence.relay_peers(relay.output) for seat, relay in run.relays.items()}

    def upstream(self, slave):
        """(the port the master sees for this slave, when its first datagram reached the relay)."""
        port = evidence.slave_port(slave.log)
        return self.peers.get(slave.relay, {}).get(port, (None, None))

    def analyse(self):
        r = self.result
        r.notes += self.run.problems
        self.check_exits()
        self.check_following()
        self.check_subscriptions()
        self.check_keys()
        self.check_loss()
        r.largest_table = max((t.largest for t in self.tables.values()), default=0)
        r.sent_by_stranger = sum(evidence.sender_summary(h.output) or 0 for h in self.run.hostile) or None
        self.check_targets()
        return r

    def check_exits(self):
        for instance in self.run.instances:
            code = instance.exit_code
            if not instance.killed and code != 0:
                self.result.notes.append(f"{instance.folder.name}: simhost exited with {code}")
                self.result.follows = False
        for seat, relay in self.run.relays.items():
            if relay.exit_code != 0 or evidence.relay_counts(relay.stats) is None:
                self.result.notes.append(f"relay of {seat}: exit {relay.exit_code}, no counts")

    def check_following(self):
        r = self.result
        for slave in self.slaves:
            following = compare_run(slave, self.masters, DUMP_EVERY)
            r.largest_error_m = max(r.largest_error_m, following.largest_error_m)
            label = slave.folder.name
            if following.never_synced:
                r.follows = False
                r.notes.append(f"{label}: never in step with {', '.join(following.never_synced)}")
            if following.problem_count or following.largest_error_m > MAX_POSITION_ERROR_M:
                r.follows = False
                r.notes.append(f"{label}: {following.problem_count} problems, largest error "
                               f"{following.largest_error_m:.1f} m; first: " + "; ".join(following.problems))
            if following.largest_velocity_error > MAX_VELOCITY_ERROR_MS:
                r.notes.append(f"{label}: velocity off by up to {following.largest_velocity_error:.2f} m/s "
                               "(states arrive late; only positions are carried forward)")
            if self.scenario.master_restart and len(following.sync_delays) > 1:
                r.resync_s = max(r.resync_s or 0.0, following.sync_delays[-1])
            if self.scenario.slave_restart and slave.started > self.masters[0].started + timeline.SLAVE_KILL:
                r.resync_s = following.sync_delays[0] if following.sync_delays else None

    def check_subscriptions(self):
        r = self.result
        for slave in self.slaves:
            port, first_seen = self.upstream(slave)
            if port is None:
                r.notes.append(f"{slave.folder.name}: its relay never saw it")
                continue
            for master in self.masters:
                if master.ends < slave.started or slave.ends < master.started:
                    continue
                table = self.tables[id(master)]
                since = max(first_seen, master.started)
                subscribed = table.subscription_of(port, after=since - 0.05)
                late = slave.started > master.started + timeline.SLAVE_KILL
                if subscribed is None:
                    r.notes.append(f"{slave.folder.name}: never subscribed to {master.folder.name}")
                    r.follows = False
                    if late:
                        r.new_slave_s = float("inf")
                    continue
                delay = subscribed - since
                r.subscribe_s = max(r.subscribe_s or 0.0, delay)
                if late:
                    r.new_slave_s = delay
                timed_out = table.time_out_of(port, after=subscribed)
                if slave.killed and timed_out is not None and timed_out >= slave.killed:
                    r.drop_s = timed_out - slave.killed
                elif slave.killed and master.ends > slave.killed + 1.0:
                    r.notes.append(f"{slave.folder.name}: killed but never timed out")
                    r.drop_s = float("inf")
                if timed_out is not None and (not slave.killed or timed_out < slave.killed):
                    r.cut_off += 1
                    r.notes.append(f"{slave.folder.name}: timed out while alive, "
                                   f"{timed_out - slave.started:.1f} s after it started")

    def check_keys(self):
        r = self.result
        typed_codes = set()
        expected_by_master = []
        for master in self.masters:
            got = events_of(timed_snapshots(master, DUMP_EVERY))
            typed = []
            for at, code, _ in master.keys:
                typed_codes.add(code)
                for down in (True, False):
                    if got[(code, down)]:
                        typed.append((master.started + at, (code, down)))
                    elif master.started + at < master.ends - KEY_MARGIN_BEFORE_END:
                        r.notes.append(f"{master.folder.name}: key {code:#x} typed but not in its own dump")
            expected_by_master.append((master, typed))
        # Typed order: instance by instance, each in its schedule's order, a press before its release.
        rank = {}
        for _, typed in expected_by_master:
            for _, event in typed:
                rank.setdefault(event, len(rank))
        for slave in self.slaves:
            snapshots = timed_snapshots(slave, DUMP_EVERY)
            got = events_of(snapshots)
            last_dump = snapshots[-1][0] if snapshots else slave.started
            port, _ = self.upstream(slave)
            for master, typed in expected_by_master:
                subscribed = self.tables[id(master)].subscription_of(port, after=master.started - 0.05) \
                    if port else None
                if subscribed is None:
                    continue
                until = min(last_dump, master.ends) - KEY_MARGIN_BEFORE_END
                for when, event in typed:
                    if subscribed + KEY_MARGIN_AFTER_SUBSCRIBING <= when <= until:
                        if got[event]:
                            r.keys_delivered += 1
                        else:
                            r.keys_lost += 1
            r.keys_doubled += sum(count - 1 for (code, _), count in got.items() if count > 1 and code in typed_codes)
            r.keys_foreign += sum(count for (code, _), count in got.items() if code not in typed_codes)
            r.keys_out_of_order += sum(out_of_order(sequence, rank) for sequence in sequences_of(snapshots))

    def check_loss(self):
        r = self.result
        packets = lost = 0
        for slave in self.slaves:
            p, l, d = evidence.link_statistics(slave.log)
            packets, lost, r.discarded = packets + p, lost + l, r.discarded + d
        if packets > 0:
            r.loss_reported = 100.0 * lost / packets
        received = dropped = 0
        for relay in self.run.relays.values():
            counts = evidence.relay_counts(relay.stats)
            if counts:
                received += counts["to_slave"]["received"]
                dropped += counts["to_slave"]["dropped"]
        if received > 0:
            r.loss_injected = 100.0 * dropped / received

    def check_targets(self):
        r, s = self.result, self.scenario
        miss = r.misses.append
        if not r.follows or r.largest_error_m > MAX_POSITION_ERROR_M:
            miss(f"does not follow (largest error {r.largest_error_m:.1f} m; see the notes)")
        if r.keys_doubled:
            miss(f"{r.keys_doubled} key events doubled")
        if r.keys_foreign:
            miss(f"{r.keys_foreign} key events from a stranger replayed")
        if s.all_keys and r.keys_lost:
            miss(f"{r.keys_lost} key events lost")
        if s.slave_restart:
            if r.new_slave_s is None or r.new_slave_s > timeline.MAX_SUBSCRIBE_S:
                miss(f"new slave's subscription: {span(r.new_slave_s)} (target {timeline.MAX_SUBSCRIBE_S} s)")
            if r.drop_s is None or r.drop_s > timeline.MAX_DROP_S:
                miss(f"killed slave's time-out: {span(r.drop_s)} (target {timeline.MAX_DROP_S} s)")
        if (s.flood or s.spoofed_ports) and r.cut_off:
            miss(f"{r.cut_off} live slave(s) cut off")
        if s.spoofed_ports and r.largest_table > timeline.MAX_CLIENTS:
            miss(f"client table reached {r.largest_table} (cap {timeline.MAX_CLIENTS})")
        if self.run.problems:
            miss("the scenario did not run as planned")
