#!/usr/bin/env python3
"""helmrelay between simhost masters and slaves on 127.0.0.1, as users run it.

usage: relay_e2e.py BIN_DIR SOURCE_DIR WORK_DIR SCENARIO

  fanout   master -> relay -> two slaves (one joins late from an empty sky)
  chain    master -> relay -> relay -> slave
  keys     a slave's keys reach the master through a relay
  restart  the relay is killed (-9) and started again on its port mid-run

Each slave must follow its master over the whole run (the fault suite's
comparison of every state snapshot after the first sync), and the master
must see one client only: the relay.
"""

import json
import re
import signal
import subprocess
import sys
import time
from collections import Counter
from pathlib import Path

SOURCE = Path(sys.argv[2]).resolve() if len(sys.argv) > 2 else Path(".")
sys.path.insert(0, str(SOURCE / "tools" / "faults"))
sys.path.insert(0, str(SOURCE / "tests" / "tools"))

import evidence  # noqa: E402
import outcome  # noqa: E402
from cluster import DUMP_EVERY, free_port, start_host, wait_until  # noqa: E402
from following import MAX_POSITION_ERROR_M, compare_run, load_snapshots  # noqa: E402

TEXT_CLASSES = "Shuttle2 Capsule1"
# Scan codes of the keys typed: digits 1 to 4 (their presses and releases).
TYPED = [0x02, 0x03, 0x04, 0x05]
RESYNC_BOUND_S = 4.0  # a Hello a second, a statistics line a second: well within


class Cluster:
    def __init__(self, bin_dir, work):
        self.bin = bin_dir
        self.work = work
        self.master_port = free_port()
        self.children = []
        self.problems = []

    def _spawn(self, command, folder, output, errors=subprocess.STDOUT):
        folder.mkdir(parents=True, exist_ok=True)
        with open(folder / output, "w") as out:
            err = open(folder / errors, "w") if isinstance(errors, str) else errors
            process = subprocess.Popen(command, cwd=folder, stdout=out, stderr=err, stdin=subprocess.DEVNULL)
            if isinstance(errors, str):
                err.close()
        self.children.append(process)
        return process

    def host(self, role, name, scenario, duration, config, keys=()):
        """A simhost with the master's or the slave's module, started now."""
        return start_host(self._spawn, self.bin, SOURCE, self.work / name, role, scenario, duration, config, keys)

    def master(self, duration, keys=()):
        config = f"debug = 1\nmasterPort = {self.master_port}\nmaxUpdateRate = 30\ntextSyncClasses = {TEXT_CLASSES}\n"
        return self.host("master", "master", "Demo.scn", duration, config, keys)

    def slave(self, name, port, scenario, duration, keys=()):
        config = (f"debug = 1\nmasterIP = 127.0.0.1\nmasterPort = {port}\nswitchFocus = 1\n"
                  f"sendKeys = {1 if keys else 0}\n")
        return self.host("slave", name, scenario, duration, config, keys)

    def relay(self, name, upstream_port, listen_port, seconds):
        """helmrelay with a JSON snapshot at its end, its event lines in relay.log."""
        command = [str(self.bin / "helmrelay"), f"127.0.0.1:{upstream_port}", "--listen",
                   f"127.0.0.1:{listen_port}", "--seconds", str(seconds), "--json"]
        process = self._spawn(command, self.work / name, "relay.json", "relay.log")
        process.started = time.time()
        process.folder = self.work / name
        return process

    def kill(self, process):
        if process.poll() is None:
            process.send_signal(signal.SIGKILL)
            process.wait(timeout=10)
            return time.time()
        self.problems.append(f"{' '.join(process.args[:2])} had ended before it was to be killed")
        return 0.0

    def wait_all(self, seconds):
        for process in wait_until(self.children, time.time() + seconds):
            self.problems.append(f"{' '.join(process.args[:2])} had to be killed at the deadline")

    def stop_all(self):
        for process in self.children:
            if process.poll() is None:
                process.kill()
                process.wait(timeout=10)


def snapshot_of(relay):
    try:
        return json.loads((relay.folder / "relay.json").read_text())
    except (OSError, ValueError) as error:
        return {"error": str(error)}


def check_exits(cluster, instances, relays):
    for instance in instances:
        instance.exit_code = instance.process.returncode
        if not instance.killed and instance.exit_code != 0:
            cluster.problems.append(f"{instance.folder.name}: simhost exited with {instance.exit_code}")
    for relay in relays:
        if relay.returncode != 0:
            cluster.problems.append(f"{relay.folder.name}: helmrelay exited with {relay.returncode}: "
                                    + (relay.folder / "relay.log").read_text()[-400:])


def check_follows(cluster, slave, masters):
    following = compare_run(slave, masters, DUMP_EVERY)
    name = slave.folder.name
    print(f"{name}: {following.samples} snapshots compared, largest error {following.largest_error_m:.2f} m, "
          f"in step after {', '.join(f'{d:.1f} s' for d in following.sync_delays) or 'never'}")
    if not following.sync_delays or following.never_synced:
        cluster.problems.append(f"{name}: never in step with the master")
    if following.problem_count or following.largest_error_m > MAX_POSITION_ERROR_M:
        cluster.problems.append(f"{name}: {following.problem_count} problems: " + "; ".join(following.problems))
    if following.samples < 5:
        cluster.problems.append(f"{name}: only {following.samples} snapshots compared")


def check_master_sees_one_client(cluster, master, most=1):
    table = evidence.ClientTable(master.log)
    print(f"master: client table at most {table.largest}, {len(table.subscribed)} subscriptions")
    if not 1 <= table.largest <= most:
        cluster.problems.append(f"master's client table reached {table.largest} (expected the relay alone)")


def check_relay(cluster, relay, clients):
    snapshot = snapshot_of(relay)
    if "error" in snapshot:
        cluster.problems.append(f"{relay.folder.name}: no JSON snapshot ({snapshot['error']})")
        return snapshot
    r, up = snapshot["relay"], snapshot["upstream"]["link"]
    print(f"{relay.folder.name}: {r['subscriptions']} subscriptions, {r['updates']} updates passed on, "
          f"{r['sends']} sends, {r['failed_sends']} failed; upstream {up['updates']} updates, {up['lost']} lost")
    if r["subscriptions"] != clients:
        cluster.problems.append(f"{relay.folder.name}: {r['subscriptions']} subscriptions, not {clients}")
    if r["failed_sends"] or r["timeouts"]:
        cluster.problems.append(f"{relay.folder.name}: {r['failed_sends']} failed sends, {r['timeouts']} time-outs")
    if r["updates"] < 30 or r["updates"] != up["updates"]:
        cluster.problems.append(f"{relay.folder.name}: {r['updates']} updates passed on of {up['updates']}")
    if up["acknowledgements"] != up["updates"]:
        cluster.problems.append(f"{relay.folder.name}: {up['acknowledgements']} Acks for {up['updates']} updates")
    return snapshot


def received_keys(instance):
    """Counter of (scan code, down) over every vessel of the host's last snapshot."""
    snapshots = load_snapshots(instance.dump, torn_tail_ok=True)
    if not snapshots:
        return Counter()
    return Counter((code, bool(down)) for vessel in snapshots[-1][1].values() for code, down in vessel["keys"])


def check_keys_arrived(cluster, where, got, typed):
    for code in typed:
        for down in (True, False):
            if got[(code, down)] != 1:
                cluster.problems.append(f"{where}: key {code:#x} {'down' if down else 'up'} "
                                        f"arrived {got[(code, down)]} times, not once")
    strangers = [event for event in got if event[0] not in typed]
    if strangers:
        cluster.problems.append(f"{where}: keys that nobody typed: {strangers}")


def lost_reported(slave):
    packets, lost, _ = evidence.link_statistics(slave.log)
    return packets, lost


# ---- scenarios ----

def one_slave_behind_a_relay(cluster, relay_seconds, master_seconds, slave_seconds, keys=()):
    """A relay, the master, and one slave typing `keys` subscribed to the relay, started in that order."""
    relay_port = free_port()
    relay = cluster.relay("relay", cluster.master_port, relay_port, relay_seconds)
    time.sleep(0.1)
    master = cluster.master(master_seconds)
    time.sleep(0.3)
    slave = cluster.slave("slave", relay_port, "Demo.scn", slave_seconds, keys)
    return relay_port, relay, master, slave


def fanout(cluster):
    relay_port = free_port()
    relay = cluster.relay("relay", cluster.master_port, relay_port, 8.0)
    time.sleep(0.1)
    master = cluster.master(7.0, keys=[(2.5 + 0.8 * i, code) for i, code in enumerate(TYPED)])
    time.sleep(0.3)
    slave1 = cluster.slave("slave1", relay_port, "Demo.scn", 7.2)
    time.sleep(1.2)
    slave2 = cluster.slave("slave2", relay_port, "Empty.scn", 6.0)
    cluster.wait_all(25)
    check_exits(cluster, [master, slave1, slave2], [relay])
    for slave in (slave1, slave2):
        check_follows(cluster, slave, [master])
        check_keys_arrived(cluster, slave.folder.name, received_keys(slave), TYPED)
        packets, lost = lost_reported(slave)
        print(f"{slave.folder.name}: {packets} datagrams, {lost} lost by its own count")
        if packets == 0 or lost > packets // 100:
            cluster.problems.append(f"{slave.folder.name}: {lost} of {packets} datagrams lost on loopback")
    check_master_sees_one_client(cluster, master)
    check_relay(cluster, relay, 2)


def chain(cluster):
    first_port, second_port = free_port(), free_port()
    first = cluster.relay("relay1", cluster.master_port, first_port, 7.5)
    second = cluster.relay("relay2", first_port, second_port, 7.2)
    time.sleep(0.1)
    master = cluster.master(6.5, keys=[(2.5 + 0.7 * i, code) for i, code in enumerate(TYPED)])
    time.sleep(0.3)
    slave = cluster.slave("slave", second_port, "Empty.scn", 6.2)
    cluster.wait_all(25)
    check_exits(cluster, [master, slave], [first, second])
    check_follows(cluster, slave, [master])
    check_keys_arrived(cluster, "slave", received_keys(slave), TYPED)
    check_master_sees_one_client(cluster, master)
    check_relay(cluster, first, 1)
    check_relay(cluster, second, 1)


def keys(cluster):
    _, relay, master, slave = one_slave_behind_a_relay(
        cluster, 7.2, 6.2, 5.8, keys=[(2.0 + 0.7 * i, c) for i, c in enumerate(TYPED)])
    cluster.wait_all(25)
    check_exits(cluster, [master, slave], [relay])
    check_follows(cluster, slave, [master])
    # The master replays them on its focus vessel; only the slave typed.
    check_keys_arrived(cluster, "master", received_keys(master), TYPED)
    snapshot = check_relay(cluster, relay, 1)
    events = snapshot.get("relay", {}).get("key_events")
    if events != 2 * len(TYPED):
        cluster.problems.append(f"relay passed {events} key events up, not {2 * len(TYPED)}")
    check_master_sees_one_client(cluster, master)


def restart(cluster):
    relay_port, relay, master, slave = one_slave_behind_a_relay(cluster, 30, 9.0, 9.0)
    time.sleep(3.0)
    killed = cluster.kill(relay)
    time.sleep(1.0)
    again = cluster.relay("relay-again", cluster.master_port, relay_port, 5.5)
    cluster.wait_all(25)
    check_exits(cluster, [master, slave], [again])
    check_follows(cluster, slave, [master])
    # The master drops the killed relay after its time-out; the new one is a new client.
    table = evidence.ClientTable(master.log)
    print(f"master: client table at most {table.largest}, {len(table.subscribed)} subscriptions, "
          f"{len(table.timed_out)} time-outs")
    if len(table.subscribed) != 2 or len(table.timed_out) < 1 or table.largest > 2:
        cluster.problems.append("master: not one relay dropped and one new relay subscribed")
    check_relay(cluster, again, 1)
    # The slave takes updates again soon after the relay is back.
    lines = evidence.log_lines(slave.log)
    back = next((when for when, text in lines if when > again.started and re.search(r"Pkts: [1-9]", text)), None)
    gap = [text for when, text in lines if killed + 1.0 < when < again.started and re.search(r"Pkts: [1-9]", text)]
    resync = None if back is None else back - again.started
    print(f"slave: updates again {resync if resync is None else round(resync, 2)} s after the relay restarted")
    if resync is None or resync > RESYNC_BOUND_S:
        cluster.problems.append(f"slave: no updates within {RESYNC_BOUND_S} s of the relay's restart")
    if gap:
        cluster.problems.append(f"slave: updates while the relay was down: {gap[0]}")
    if any("numbering starts afresh" in text for _, text in lines):
        cluster.problems.append("slave: took the relay's restart for a master's restart")


SCENARIOS = {"fanout": fanout, "chain": chain, "keys": keys, "restart": restart}


def run(scenarios, kind, cluster_class=None):
    """BIN_DIR SOURCE_DIR WORK_DIR SCENARIO from the command line: one scenario, in a fresh folder."""
    bin_dir, work = Path(sys.argv[1]).resolve(), Path(sys.argv[3]).resolve()
    name = sys.argv[4]
    work = work / name
    if work.exists():
        import shutil
        shutil.rmtree(work)
    work.mkdir(parents=True)
    cluster = (cluster_class or Cluster)(bin_dir, work)
    try:
        scenarios[name](cluster)
    finally:
        cluster.stop_all()
    return outcome.finish(cluster.problems, f"{kind} {name}")


def main():
    return run(SCENARIOS, "relay")


if __name__ == "__main__":
    sys.exit(main())
