#!/usr/bin/env python3
"""Compares the vessel states that simhost dumped on a master and its slaves.

Each dump file holds snapshots (one JSON object per vessel per line, each with
the host's simulation date). For every slave, the master snapshot and the
slave snapshot closest in date are paired, and the slave's free-flying
vessels are moved to the master's date along their two-body orbit, so that
positions and velocities are compared at the same simulation date.

Exit status 0 when every slave follows the master, 1 when one does not,
2 on bad input.
"""

import argparse
import json
import math
import re
import sys
from pathlib import Path

import date_offsets

GM = {"Earth": 3.986004418e14, "Moon": 4.9048695e12}
SECONDS_PER_DAY = 86400.0

# Bounds for "follows". A slave's date is kept within 0.1 s of the master's,
# and a state arrives carried forward by the time in transit in position only:
# its velocity can lag by gravity times that offset (about 9.8 m/s^2 x 0.15 s
# in low orbit), and one update interval (1/30 s) of own propagation with that
# velocity moves the position by a few centimetres. Carrying the position
# forward in a straight line misses half of gravity times the offset squared
# (about 0.1 m). The bounds leave room above those figures.
MAX_POSITION_ERROR_M = 5.0
MAX_VELOCITY_ERROR_MS = 2.0
ANIMATION_TOLERANCE = 0.05  # master-driven animations move on between updates
PROPELLANT_TOLERANCE = 1e-3  # relative


def load_snapshots(path, torn_tail_ok=False):
    """[(mjd, {name: vessel})] in file order. With torn_tail_ok, a last line
    cut short (the host was killed while writing it) is left out."""
    snapshots = []
    current_mjd = None
    current = {}
    with open(path, encoding="utf-8") as handle:
        lines = handle.read().split("\n")
    for number, line in enumerate(lines, 1):
        line = line.strip()
        if not line:
            continue
        try:
            vessel = json.loads(line)
        except json.JSONDecodeError as error:
            if torn_tail_ok and not any(rest.strip() for rest in lines[number:]):
                break
            raise ValueError(f"{path}:{number}: not JSON: {error}") from error
        mjd = vessel.get("mjd")
        name = vessel.get("name")
        if current and (mjd != current_mjd or name in current):
            snapshots.append((current_mjd, current))
            current = {}
        current_mjd = mjd
        current[name] = vessel
    if current:
        snapshots.append((current_mjd, current))
    return snapshots


def acceleration(gm, r):
    distance = math.sqrt(sum(c * c for c in r))
    factor = -gm / distance ** 3
    return [factor * c for c in r]


def propagate(vessel, seconds):
    """Position and velocity moved by `seconds` along the vessel's orbit."""
    r = list(vessel["rpos"])
    v = list(vessel["rvel"])
    if vessel.get("landed") or seconds == 0.0:
        return r, v
    gm = GM.get(vessel.get("rbody"), GM["Earth"])
    steps = max(1, int(math.ceil(abs(seconds) / 0.02)))
    h = seconds / steps
    for _ in range(steps):  # classic Runge-Kutta
        k1r, k1v = v, acceleration(gm, r)
        r2 = [r[i] + 0.5 * h * k1r[i] for i in range(3)]
        v2 = [v[i] + 0.5 * h * k1v[i] for i in range(3)]
        k2r, k2v = v2, acceleration(gm, r2)
        r3 = [r[i] + 0.5 * h * k2r[i] for i in range(3)]
        v3 = [v[i] + 0.5 * h * k2v[i] for i in range(3)]
        k3r, k3v = v3, acceleration(gm, r3)
        r4 = [r[i] + h * k3r[i] for i in range(3)]
        v4 = [v[i] + h * k3v[i] for i in range(3)]
        k4r, k4v = v4, acceleration(gm, r4)
        r = [r[i] + h / 6 * (k1r[i] + 2 * k2r[i] + 2 * k3r[i] + k4r[i]) for i in range(3)]
        v = [v[i] + h / 6 * (k1v[i] + 2 * k2v[i] + 2 * k3v[i] + k4v[i]) for i in range(3)]
    return r, v


def distance(a, b):
    return math.sqrt(sum((x - y) ** 2 for x, y in zip(a, b)))


def closest_snapshot(snapshots, mjd):
    """The snapshot whose date is nearest to mjd."""
    return min(snapshots, key=lambda snapshot: abs(snapshot[0] - mjd))


def scenario_lines(vessel, keys):
    """The vessel's own class lines (LIGHTS, CARGO, ...) from its scenario text."""
    found = {}
    for line in vessel.get("scenario", "").splitlines():
        parts = line.split(None, 1)
        if parts and parts[0].upper() in keys:
            found[parts[0].upper()] = parts[1] if len(parts) > 1 else ""
    return found


def animation_gap(a, b):
    gap = abs(a - b) % 1.0
    return min(gap, 1.0 - gap) if 0.0 <= a <= 1.0 and 0.0 <= b <= 1.0 else abs(a - b)


def compare(master, slave, seconds, text_classes, problems):
    """One vessel: returns the table cells; appends what fails to problems."""
    name = master["name"]
    if slave is None:
        problems.append(f"{name}: missing")
        return {"pos": "missing", "vel": "", "notes": []}
    if slave["class"] != master["class"]:
        problems.append(f"{name}: class {slave['class']} instead of {master['class']}")
    r, v = propagate(slave, seconds)
    dpos = distance(r, master["rpos"])
    dvel = distance(v, master["rvel"])
    if dpos > MAX_POSITION_ERROR_M:
        problems.append(f"{name}: position off by {dpos:.2f} m")
    if dvel > MAX_VELOCITY_ERROR_MS:
        problems.append(f"{name}: velocity off by {dvel:.3f} m/s")
    notes = []
    for field in ("attitudeMode", "navmodes", "adCtrlMode", "navChannels"):
        if slave.get(field) != master.get(field):
            problems.append(f"{name}: {field} {slave.get(field)} instead of {master.get(field)}")
            notes.append(field)
    mp, sp = master.get("propellant", []), slave.get("propellant", [])
    if master.get("version", 2) < 2:  # the older status record carries the first resource only
        mp, sp = mp[:1], sp[:1]
    if len(mp) != len(sp) or any(abs(a - b) > PROPELLANT_TOLERANCE * max(1.0, abs(a)) for a, b in zip(mp, sp)):
        problems.append(f"{name}: propellant {sp} instead of {mp}")
        notes.append("propellant")
    ma, sa = master.get("animations", [])[:16], slave.get("animations", [])[:16]
    if len(ma) != len(sa) or any(animation_gap(a, b) > ANIMATION_TOLERANCE for a, b in zip(ma, sa)):
        problems.append(f"{name}: animations {sa} instead of {ma}")
        notes.append("animations")
    text_synced = master["class"].lower() in text_classes
    if text_synced:
        keys = {"LIGHTS", "CARGO"}
        if scenario_lines(master, keys) != scenario_lines(slave, keys):
            problems.append(f"{name}: own state {scenario_lines(slave, keys)} instead of {scenario_lines(master, keys)}")
            notes.append("text state")
    xr_keys = {"XR_CODES", "XR_AB", "XR_BYTES"}
    if scenario_lines(master, xr_keys) and scenario_lines(master, xr_keys) != scenario_lines(slave, xr_keys):
        problems.append(f"{name}: XR state {scenario_lines(slave, xr_keys)} instead of {scenario_lines(master, xr_keys)}")
        notes.append("XR state")
    return {"pos": f"{dpos:8.3f}", "vel": f"{dvel:7.4f}", "notes": notes, "slave": slave}


def key_list(vessel):
    return [(k[0], k[1]) for k in vessel.get("keys", [])]


def describe_keys(keys):
    return " ".join(f"{code:#04x}{'v' if down else '^'}" for code, down in keys) or "-"


def link_statistics(log_path, count=3):
    lines = []
    try:
        with open(log_path, encoding="utf-8", errors="replace") as handle:
            lines = [l.rstrip("\n") for l in handle if "Pkts:" in l]
    except OSError:
        return ["(no log)"]
    return [re.sub(r"^.*?\.cpp:\s*\d+:", "", l) for l in lines[-count:]] or ["(no statistics lines)"]


def print_date_offsets(master_dump, slave_descriptions, settle):
    """Each slave's date against the master's at the same wall-clock moment."""
    master = date_offsets.timeline(master_dump)
    if not master:
        return
    since = master[0][0] + settle
    print(f"Date offsets from the master at the same moment (master minus slave; from {settle:g} s after "
          "the master's first snapshot):")
    for description in slave_descriptions:
        label, _, rest = description.partition("=")
        points = date_offsets.offsets_ms(master, date_offsets.timeline(rest.partition(":")[0]), since)
        print(f"  {label}: {date_offsets.describe(date_offsets.summary(points))}")
    print()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("master", help="master dump file")
    parser.add_argument("slaves", nargs="+", help="slave dump files, as NAME=FILE[:LOG]")
    parser.add_argument("--text-classes", default="", help="classes synchronised by scenario text")
    parser.add_argument("--settle", type=float, default=10.0,
                        help="date offsets are summed from this many seconds after the master's first snapshot")
    args = parser.parse_args()

    try:
        master_snapshots = load_snapshots(args.master)
        slaves = []
        for description in args.slaves:
            label, _, rest = description.partition("=")
            dump, _, log = rest.partition(":")
            slaves.append((label, load_snapshots(dump), log))
    except (OSError, ValueError) as error:
        print(f"compare_states: {error}", file=sys.stderr)
        return 2
    if not master_snapshots:
        print("compare_states: the master dumped nothing", file=sys.stderr)
        return 2

    text_classes = {c.strip().lower() for c in re.split(r"[\s,]+", args.text_classes) if c.strip()}
    failed = False
    _, master_last = master_snapshots[-1]
    # The master's last periodic snapshot (its final dump is taken as it stops);
    # each slave's snapshot nearest to it in date.
    m_mjd, m = master_snapshots[-2] if len(master_snapshots) > 1 else master_snapshots[-1]
    results = {}
    pair_info = {}
    for label, snapshots, log in slaves:
        problems = []
        if not snapshots:
            problems.append("no state dumped")
            results[label] = ({}, problems)
            continue
        s_mjd, s = closest_snapshot(snapshots, m_mjd)
        seconds = (m_mjd - s_mjd) * SECONDS_PER_DAY
        cells = {name: compare(vessel, s.get(name), seconds, text_classes, problems) for name, vessel in m.items()}
        # Every key the master's vessels received arrived in the slave.
        for name, vessel in master_last.items():
            slave_vessel = snapshots[-1][1].get(name)
            if key_list(vessel) and (slave_vessel is None or key_list(slave_vessel) != key_list(vessel)):
                problems.append(f"{name}: keys {describe_keys(key_list(slave_vessel or {}))} "
                                f"instead of {describe_keys(key_list(vessel))}")
        results[label] = (cells, problems)
        pair_info[label] = (m_mjd, s_mjd, seconds, m, log)
        failed = failed or bool(problems)

    # ---- Report ----
    labels = [label for label, _, _ in slaves]
    print("Vessels at equal simulation dates (slave states moved along their orbits to the master's date)")
    print(f"  master: MJD {m_mjd:.8f}")
    for label in labels:
        if label in pair_info:
            _, s_mjd, seconds, _, _ = pair_info[label]
            print(f"  {label}: MJD {s_mjd:.8f}, moved {seconds * 1000.0:+.1f} ms to the master's date")
    print()
    header = f"{'vessel':<12} {'class':<11}" + "".join(f" | {label + ' dpos m':>15} {'dvel m/s':>9}" for label in labels)
    print(header)
    print("-" * len(header))
    reference = m
    for name, vessel in reference.items():
        row = f"{name:<12} {vessel['class']:<11}"
        for label in labels:
            cell = results[label][0].get(name, {"pos": "-", "vel": "-"})
            row += f" | {cell['pos']:>15} {cell['vel']:>9}"
        print(row)
    print()
    print("What the vessels carry (master / " + " / ".join(labels) + "):")
    for name, vessel in reference.items():
        print(f"  {name}")
        others = [results[label][0].get(name, {}).get("slave") for label in labels]
        def show(title, value_of):
            values = [value_of(vessel)] + [value_of(o) if o else "missing" for o in others]
            print(f"    {title:<12} " + "  /  ".join(str(v) for v in values))
        older = vessel.get("version", 2) < 2
        show("propellant" + ("*" if older else ""), lambda v: [round(p, 2) for p in v.get("propellant", [])])
        show("animations", lambda v: [round(a, 3) for a in v.get("animations", [])[:6]])
        show("modes", lambda v: f"att {v.get('attitudeMode')} nav {v.get('navmodes')} adc {v.get('adCtrlMode')}")
        show("radios", lambda v: v.get("navChannels"))
        if vessel["class"].lower() in text_classes:
            show("text state", lambda v: scenario_lines(v, {"LIGHTS", "CARGO"}))
        if scenario_lines(vessel, {"XR_CODES"}):
            show("XR state", lambda v: scenario_lines(v, {"XR_AB", "XR_BYTES"}))
    if any(v.get("version", 2) < 2 for v in reference.values()):
        print("  * interface version below 2: the status record carries the first propellant resource only")
    print()
    print("Keys that arrived (focus vessels; v = down, ^ = up):")
    for name, vessel in master_last.items():
        if key_list(vessel):
            print(f"  {name:<12} master: {describe_keys(key_list(vessel))}")
            for label, snapshots, _ in slaves:
                slave_vessel = snapshots[-1][1].get(name) if snapshots else None
                print(f"  {'':<12} {label}: {describe_keys(key_list(slave_vessel or {}))}")
    print()
    print_date_offsets(args.master, args.slaves, args.settle)
    for label, _, log in slaves:
        if log:
            print(f"Link statistics of {label} (last lines of its log):")
            for line in link_statistics(log):
                print(f"  {line}")
    print()
    for label in labels:
        problems = results[label][1]
        if problems:
            print(f"{label} DOES NOT FOLLOW the master:")
            for problem in problems:
                print(f"  - {problem}")
        else:
            print(f"{label} follows the master: every vessel present with the master's class, "
                  f"within {MAX_POSITION_ERROR_M} m and {MAX_VELOCITY_ERROR_MS} m/s.")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
