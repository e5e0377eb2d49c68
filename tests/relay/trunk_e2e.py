#!/usr/bin/env python3
"""Two relays joined by a trunk between simhost masters and slaves on
127.0.0.1, as users run them.

usage: trunk_e2e.py BIN_DIR SOURCE_DIR WORK_DIR SCENARIO

  trunk   master -> near relay -> sealed trunk -> far relay -> two slaves (one
          joins late from an empty sky); a recorder at the master and one at
          the far relay compare every datagram byte for byte
  keys    a slave's keys reach the master through a chain: far relay, then a
          plain relay, over the trunk; a far relay with the wrong key gets nothing
"""

import secrets
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import relay_e2e as base  # noqa: E402
from datagram_recorder import Recorder, compare  # noqa: E402


def write_key(folder, name="trunk.key"):
    folder.mkdir(parents=True, exist_ok=True)
    path = folder / name
    path.write_text(secrets.token_hex(32) + "\n")
    return path


def trunk_relay(cluster, name, seconds, key, near_port=None, upstream_port=None, listen_port=None):
    """The near end (upstream_port: the master's; near_port: where it listens for
    the far end) or the far end (near_port only), a JSON snapshot at its end."""
    command = [str(cluster.bin / "helmrelay")]
    if upstream_port is not None:
        command += [f"127.0.0.1:{upstream_port}", "--trunk-listen", f"127.0.0.1:{near_port}"]
    else:
        command += ["--trunk", f"127.0.0.1:{near_port}"]
    if listen_port is not None:
        command += ["--listen", f"127.0.0.1:{listen_port}"]
    command += ["--trunk-key", str(key), "--seconds", str(seconds), "--json"]
    process = cluster._spawn(command, cluster.work / name, "relay.json", "relay.log")
    process.started = time.time()
    process.folder = cluster.work / name
    return process


def trunk_figures(cluster, relay):
    snapshot = base.snapshot_of(relay)
    figures = snapshot.get("trunk") or {}
    if not figures:
        cluster.problems.append(f"{relay.folder.name}: no trunk figures ({snapshot.get('error', 'none')})")
    return figures


def check_trunk(cluster, near, far):
    n, f = trunk_figures(cluster, near), trunk_figures(cluster, far)
    if not n or not f:
        return
    print(f"near: {n['updates']} updates, {n['trunk_bytes_per_update']:.0f} bytes per update on the trunk for "
          f"{n['raw_bytes_per_update']:.0f} raw ({100 * n['ratio']:.2f} %), baseline age {n['baseline_age']}, "
          f"{n['without_baseline']} without baseline")
    print(f"far: {f['updates']} updates whole, {f['decode_failures']} decode failures, "
          f"{f['auth_failures']} authentication failures, {f['replays']} replays")
    if n["updates"] < 30 or f["updates"] < n["updates"] - 5:
        cluster.problems.append(f"far end restored {f['updates']} of {n['updates']} updates whole")
    for end, figures in (("near", n), ("far", f)):
        if figures["auth_failures"] or figures["replays"] or figures["decode_failures"] or figures["not_messages"]:
            cluster.problems.append(f"{end} end: failures on a clean trunk: {figures}")
    # On a clean trunk nearly every update has a baseline (the first ones cannot).
    if n["without_baseline"] > 5:
        cluster.problems.append(f"near end: {n['without_baseline']} updates without a baseline")


def check_identical(cluster, reference, behind, least):
    compared, differing = compare(reference, behind)
    print(f"recorders: {compared} datagrams compared byte for byte, {differing} differ")
    if compared < least:
        cluster.problems.append(f"only {compared} datagrams compared (expected {least} at least)")
    if differing:
        cluster.problems.append(f"{differing} datagrams behind the trunk differ from the master's")


def trunk(cluster):
    key = write_key(cluster.work)
    near_port, far_port = base.free_port(), base.free_port()
    near = trunk_relay(cluster, "near", 9.0, key, near_port=near_port, upstream_port=cluster.master_port)
    far = trunk_relay(cluster, "far", 8.8, key, near_port=near_port, listen_port=far_port)
    time.sleep(0.1)
    master = cluster.master(7.5, keys=[(2.5 + 0.8 * i, code) for i, code in enumerate(base.TYPED)])
    at_master = Recorder(cluster.master_port, 7.0)
    time.sleep(0.3)
    behind = Recorder(far_port, 7.0)
    slave1 = cluster.slave("slave1", far_port, "Demo.scn", 7.2)
    time.sleep(1.2)
    slave2 = cluster.slave("slave2", far_port, "Empty.scn", 6.0)
    cluster.wait_all(25)
    at_master.join()
    behind.join()
    base.check_exits(cluster, [master, slave1, slave2], [near, far])
    for slave in (slave1, slave2):
        base.check_follows(cluster, slave, [master])
        base.check_keys_arrived(cluster, slave.folder.name, base.received_keys(slave), base.TYPED)
    check_identical(cluster, at_master, behind, 1000)
    check_trunk(cluster, near, far)
    # The near relay and the recorder.
    base.check_master_sees_one_client(cluster, master, most=2)


def keys(cluster):
    key = write_key(cluster.work)
    wrong = write_key(cluster.work, "wrong.key")
    near_port, far_port, last_port = base.free_port(), base.free_port(), base.free_port()
    near = trunk_relay(cluster, "near", 8.0, key, near_port=near_port, upstream_port=cluster.master_port)
    far = trunk_relay(cluster, "far", 7.8, key, near_port=near_port, listen_port=far_port)
    stranger = trunk_relay(cluster, "stranger", 7.0, wrong, near_port=near_port, listen_port=base.free_port())
    chained = cluster.relay("chained", far_port, last_port, 7.6)
    time.sleep(0.1)
    master = cluster.master(6.5)
    time.sleep(0.3)
    slave = cluster.slave("slave", last_port, "Demo.scn", 6.0, keys=[(2.0 + 0.7 * i, c) for i, c in
                                                                    enumerate(base.TYPED)])
    cluster.wait_all(25)
    base.check_exits(cluster, [master, slave], [near, far, chained])
    base.check_follows(cluster, slave, [master])
    base.check_keys_arrived(cluster, "master", base.received_keys(master), base.TYPED)
    n = trunk_figures(cluster, near)
    if n and n["key_messages"] != len(base.TYPED) * 2 and n["key_messages"] < len(base.TYPED):
        cluster.problems.append(f"near end passed {n['key_messages']} key messages up")
    # The relay with the wrong key is refused at the near end and restores nothing.
    if n and n["auth_failures"] == 0:
        cluster.problems.append("near end: no authentication failure counted for the wrong key")
    s = base.snapshot_of(stranger)
    if stranger.returncode != 1 or s.get("trunk", {}).get("updates"):
        cluster.problems.append(f"the relay with the wrong key exited {stranger.returncode}: {s.get('trunk')}")
    log = (near.folder / "relay.log").read_text()
    if "do not authenticate" not in log:
        cluster.problems.append("near end: the wrong key was not reported")
    base.check_master_sees_one_client(cluster, master)


SCENARIOS = {"trunk": trunk, "keys": keys}


def main():
    return base.run(SCENARIOS, "trunk")


if __name__ == "__main__":
    sys.exit(main())
