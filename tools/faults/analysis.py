"""Turns what one scenario's processes left behind into its row of the table,
the measurements of its hostile senders, and the targets it missed."""

import bisect
import re
from collections import Counter
from dataclasses import dataclass, field

import evidence
import scenarios as timeline
from cluster import DUMP_EVERY
from following import MAX_POSITION_ERROR_M, MAX_VELOCITY_ERROR_MS, compare_run, timed_snapshots
from report import seconds

import date_offsets  # noqa: E402 (tools/, on the path through following)

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
    keys_foreign_master: int = 0   # a stranger's key events replayed on the master
    keys_out_of_order: int = 0     # events that would have to move for the typed order
    keys_superseded: int = 0       # lost presses whose own release arrived (first, where links reorder)
    subscribe_s: float = None      # slowest subscription of any slave
    new_slave_s: float = None      # the slave started during the run
    drop_s: float = None           # the killed slave's time-out
    cut_off: int = 0               # time-outs of slaves that were alive
    largest_table: int = 0
    table_unknown: bool = False    # the master's log tells its table in part
    sent_by_stranger: int = None
    measures: list = field(default_factory=list)  # {what, value, target, met} of the hostile senders
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


def vessel_names(snapshots):
    return {name for _, _, vessels in snapshots for name in vessels}


# A change of a slave's offset between two snapshots this large is a step of
# its date (a set date moves by more than 0.1 s), not jitter.
MAX_DATE_STEP_MS = 60.0


class Analysis:
    def __init__(self, run):
        self.run = run
        self.scenario = run.scenario
        self.result = Result(run.scenario.name)
        self.masters = [i for i in run.instances if i.role == "master"]
        self.slaves = [i for i in run.instances if i.role.startswith("slave")]
        self.victims = [i for i in run.instances if i.role == "victim"]
        self.tables = {id(m): evidence.ClientTable(m.log) for m in self.masters}
        self.peers = {seat: evidence.relay_peers(relay.output) for seat, relay in run.relays.items()}
        self.updates = {seat: evidence.relay_updates(relay.stats) for seat, relay in run.relays.items()}
        self.master_keys = Counter()  # (code, down) replayed on the masters

    def measure(self, what, value, target, met):
        self.result.measures.append({"what": what, "value": value, "target": target, "met": bool(met)})

    def whole_updates(self, slave):
        """The impairment relay's entry of what it sent this slave (first Hello, first whole update, waits)."""
        return self.updates.get(slave.relay, {}).get(evidence.slave_port(slave.log))

    def subscription(self, slave, master, port, since):
        """When the slave became a client: the master's log line, else the
        first whole update it was sent (a helmrelay's clients are not in the
        master's log, nor are client lines it held back under a flood)."""
        logged = self.tables[id(master)].subscription_of(port, after=since - 0.05) if port else None
        if logged is not None:
            return logged
        peer = self.whole_updates(slave)
        first = peer.get("first_update", 0.0) if peer else 0.0
        return first if since - 0.05 <= first <= master.ends else None

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
        self.check_date_offsets()
        r.largest_table = max((t.largest for t in self.tables.values()), default=0)
        r.table_unknown = any(t.lines_held for t in self.tables.values())
        r.sent_by_stranger = sum(evidence.sender_summary(h.output) or 0 for h in self.run.hostile) or None
        self.check_hostile()
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
        for helper in self.run.hostile + [h for h in (self.run.helmrelay, self.run.fake_master) if h]:
            if helper.exit_code != 0:
                self.result.notes.append(f"{helper.label or helper.what}: exit {helper.exit_code}")

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
                subscribed = self.subscription(slave, master, port, since)
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
                if table.lines_held:
                    # Its table cannot be replayed: time-outs name clients by position.
                    note = f"{master.folder.name} held client lines back: time-outs not judged from its log"
                    if note not in r.notes:
                        r.notes.append(note)
                    continue
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
            self.master_keys.update(got)
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
                subscribed = self.subscription(slave, master, port, master.started)
                if subscribed is None:
                    continue
                until = min(last_dump, master.ends) - KEY_MARGIN_BEFORE_END
                for when, event in typed:
                    if subscribed + KEY_MARGIN_AFTER_SUBSCRIBING <= when <= until:
                        if got[event]:
                            r.keys_delivered += 1
                        else:
                            r.keys_lost += 1
                            # Where the link reorders: a press dropped for coming after its
                            # own release, which was replayed.
                            code, down = event
                            if self.scenario.reorders and down and got[(code, False)]:
                                r.keys_superseded += 1
            r.keys_doubled += sum(count - 1 for (code, _), count in got.items() if count > 1 and code in typed_codes)
            r.keys_foreign += sum(count for (code, _), count in got.items() if code not in typed_codes)
            r.keys_out_of_order += sum(out_of_order(sequence, rank) for sequence in sequences_of(snapshots))
        r.keys_foreign_master = sum(count for (code, _), count in self.master_keys.items() if code not in typed_codes)

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

    def check_date_offsets(self):
        """Where the link is slow or loses datagrams: each slave's date
        against the master's at the same moment (the dumps' wall clock), from
        10 s after the master's start. No datagram tells a slave how long it
        was on the way, so the best it can do is the link's one-way delay
        behind; the target is that, within 20 ms, and no step of its date."""
        link = self.scenario.link
        if "delay" not in link and "loss" not in link or len(self.masters) != 1:
            return
        delay = re.search(r"delay=(\d+)(?::(\d+))?", link)
        delay_ms = float(delay.group(1)) if delay else 0.0
        # Where the delay varies by more than a frame or two either way the
        # slave drops updates that come after newer ones, so the delay of
        # what it applies is not the link's mean: reported, not judged.
        judged = delay is None or float(delay.group(2) or 0) <= 20.0
        master = date_offsets.timeline(self.masters[0].dump)
        since = self.masters[0].started + 10.0
        for slave in self.slaves:
            stats = date_offsets.summary(date_offsets.offsets_ms(master, date_offsets.timeline(slave.dump), since))
            met = (stats is not None and abs(stats["mean"] - delay_ms) <= 20.0 and
                   stats["largest_step"] <= MAX_DATE_STEP_MS)
            target = f"mean {delay_ms:.0f} ms (the link's delay) ± 20, no step over {MAX_DATE_STEP_MS:.0f} ms"
            self.measure(f"{slave.folder.name}: date offset from the master, after 10 s",
                         date_offsets.describe(stats), target if judged else "(reported)",
                         met or (not judged and stats is not None))

    def check_hostile(self):
        """The measurements of the hostile senders and the fake master."""
        s = self.scenario
        if s.attacks or s.spoofed_ports:
            self.check_whole_updates()
        if s.never_acknowledged and self.masters:
            self.check_no_stranger_confirmed()
        for sender in self.run.hostile:
            if sender.mode == "reflect":
                self.check_reflection(sender)
            elif sender.code is not None:
                replayed = sum(n for (code, _), n in self.master_keys.items() if code == sender.code)
                sent = evidence.sender_summary(sender.output)
                self.measure(f"{sender.label}: key events replayed on the master", f"{replayed} ({sent} sent)",
                             "0", replayed == 0 and sent)
            elif sender.mode == "fleet":
                slave1 = [i for i in self.slaves if i.role == "slave1"]
                made = sum(1 for name in vessel_names(timed_snapshots(slave1[0], DUMP_EVERY))
                           if name.startswith("Fleet-")) if slave1 else 0
                names = evidence.fleet_names(sender.output)
                self.measure(f"{sender.label}: vessels created", f"{made} of {names} names", "0",
                             made == 0 and names)
        if self.run.bind:
            b = self.run.bind
            refused = b["SO_REUSEADDR"] != "bound" and b["SO_REUSEADDR+SO_REUSEPORT"] != "bound"
            self.measure("a second socket on the master's port (address reuse; and port reuse)",
                         f"{b['SO_REUSEADDR']}; {b['SO_REUSEADDR+SO_REUSEPORT']} (on a port shared by choice: "
                         f"{b['control']})", "refused", refused and b["control"] == "bound")
        for victim in self.victims:
            if self.scenario.fake_master == "fleet":
                self.check_fleet(victim)
            else:
                self.check_unsafe_classes(victim)

    def check_whole_updates(self):
        """Every slave that was up kept receiving whole updates; one started
        during the attack had its first soon after its first Hello."""
        waits = []
        for slave in self.slaves:
            peer = self.whole_updates(slave)
            if slave.killed or not peer:
                continue
            waits.append(peer["longest_wait"] if peer["whole_updates"] else float("inf"))
            if slave.role == "slave2" and self.scenario.late_slave is not None:
                first = peer["first_update"] - peer["first_seen"] if peer["whole_updates"] else float("inf")
                self.measure("a slave started during it: first Hello to first whole update",
                             span(first), f"≤ {timeline.MAX_FIRST_UPDATE_S} s",
                             first <= timeline.MAX_FIRST_UPDATE_S)
        longest = max(waits, default=float("inf"))
        self.measure("longest wait of a slave for a whole update", span(longest), f"≤ {timeline.MAX_WAIT_S} s",
                     longest <= timeline.MAX_WAIT_S)

    def check_no_stranger_confirmed(self):
        """Senders that never acknowledge never become clients: the tables hold the genuine ones only."""
        s = self.scenario
        genuine = 2  # slave1, and slave2 or the helmrelay in front of it
        largest = max(t.largest for t in self.tables.values())
        held = any(t.lines_held for t in self.tables.values())
        value = f"{largest} at the master"
        met = largest == genuine and not held
        if s.helmrelay:
            relay_largest = evidence.helmrelay_largest_table(self.run.helmrelay.output) if self.run.helmrelay else 0
            value += f", {relay_largest} at the relay"
            met = met and relay_largest == 1
        self.measure("largest client table", value + (" (client lines held back)" if held else ""),
                     f"the genuine ones ({genuine}" + (", 1)" if s.helmrelay else ")"), met)

    def check_reflection(self, sender):
        found = evidence.reflected(sender.output)
        sent, back = found if found else (0, 0)
        ratio = back / sent if sent else float("inf")
        self.measure(f"{sender.label}: bytes sent back", f"{back} of {sent} ({ratio:.2f}x)",
                     f"≤ {timeline.MAX_REFLECTED:g}x, answered", back > 0 and ratio <= timeline.MAX_REFLECTED)

    def check_fleet(self, victim):
        snapshots = timed_snapshots(victim, victim.dump_every)
        most = max((len(vessels) for _, _, vessels in snapshots), default=0)
        names = evidence.fleet_names(self.run.fake_master.output) if self.run.fake_master else None
        cap = timeline.MAX_VESSELS
        self.measure("slave of a fake master: vessels", f"{most} ({names} names sent, maxVessels {cap})",
                     "maxVessels reached, never exceeded", most == cap and (names or 0) > cap)
        memory = self.run.memory
        if len(memory) < 2:
            self.measure("its peak resident memory (VmHWM), growth", "not read", "read", False)
            return
        (before_at, before, _), (_, peak, _) = memory[0], memory[-1]
        growth = (peak - before) / 1024.0
        first_vessel = min((wall for wall, _, vessels in snapshots if vessels), default=None)
        early = first_vessel is None or first_vessel > before_at  # read before any vessel came
        self.measure("its peak resident memory (VmHWM), growth over the fleet",
                     f"{growth:.1f} MB ({before / 1024:.0f} to {peak / 1024:.0f} MB)"
                     + ("" if early else "; first read after vessels came"),
                     f"≤ {timeline.MAX_MEMORY_GROWTH_MB:g} MB", early and growth <= timeline.MAX_MEMORY_GROWTH_MB)

    def check_unsafe_classes(self, victim):
        lines = evidence.unsafe_class_lines(victim.log)
        told = {vessel for vessel, _ in lines}
        sent = evidence.unsafe_names_sent(self.run.fake_master.output) if self.run.fake_master else None
        self.measure("unsafe class names told in the slave's log", f"{len(told)} of {sent} names, {len(lines)} lines",
                     "each once", sent and len(lines) == len(told) == sent)
        names = vessel_names(timed_snapshots(victim, victim.dump_every))
        probes = sum(1 for n in names if n.startswith("Probe-"))
        controls = sum(1 for n in names if n.startswith("Control-"))
        self.measure("vessels of unsafe classes created", f"{probes} (controls: {controls} of 2)", "0 (controls: 2)",
                     probes == 0 and controls == 2)
        looked_up = evidence.host_class_lookups(victim.folder / "simhost.out")
        unsafe = [c for c in looked_up if c != "NoSuchClass"]
        self.measure("the host's class lookups of unsafe names", f"{len(unsafe)} (the control's: "
                     + ("seen)" if "NoSuchClass" in looked_up else "not seen)"), "0, the control's seen",
                     not unsafe and "NoSuchClass" in looked_up)

    def check_targets(self):
        r, s = self.result, self.scenario
        miss = r.misses.append
        if not r.follows or r.largest_error_m > MAX_POSITION_ERROR_M:
            miss(f"does not follow (largest error {r.largest_error_m:.1f} m; see the notes)")
        if r.keys_doubled:
            miss(f"{r.keys_doubled} key events doubled")
        if r.keys_foreign:
            miss(f"{r.keys_foreign} key events from a stranger replayed")
        if r.keys_foreign_master:
            miss(f"{r.keys_foreign_master} key events from strangers replayed on the master")
        # Where the link reorders, a press that arrives after its own release
        # is dropped (no stuck key): lost by design, and counted apart.
        if s.all_keys and r.keys_lost > r.keys_superseded:
            miss(f"{r.keys_lost - r.keys_superseded} key events lost")
        if s.all_keys and r.keys_out_of_order:
            miss(f"{r.keys_out_of_order} key events out of typed order")
        for m in r.measures:
            if not m["met"]:
                miss(f"{m['what']}: {m['value']} (target {m['target']})")
        if s.slave_restart:
            if r.new_slave_s is None or r.new_slave_s > timeline.MAX_SUBSCRIBE_S:
                miss(f"new slave's subscription: {span(r.new_slave_s)} (target {timeline.MAX_SUBSCRIBE_S} s)")
            if r.drop_s is None or r.drop_s > timeline.MAX_DROP_S:
                miss(f"killed slave's time-out: {span(r.drop_s)} (target {timeline.MAX_DROP_S} s)")
        if (s.flood or s.spoofed_ports or s.attacks) and r.cut_off:
            miss(f"{r.cut_off} live slave(s) cut off")
        if s.spoofed_ports and r.largest_table > timeline.MAX_CLIENTS:
            miss(f"client table reached {r.largest_table} (cap {timeline.MAX_CLIENTS})")
        if self.run.problems:
            miss("the scenario did not run as planned")
