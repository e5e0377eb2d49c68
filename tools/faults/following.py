"""Does a slave follow its master over the whole run, not only at the end?

Each slave snapshot is given the wall time it was written (the hosts stamp
every line of their timeline of dumps; older dumps without the stamp are
placed every DUMP_EVERY seconds from the host's start), matched with the
master instance that was running then, and paired with that master's
snapshot nearest in simulation date. The slave's vessels are moved along
their orbits to the master's date and compared. A slave is in sync with a
master instance from the first snapshot whose date pairs and which holds
every master vessel; every snapshot from then on counts.
"""

import sys
from dataclasses import dataclass, field
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent))
from compare_states import (MAX_POSITION_ERROR_M, MAX_VELOCITY_ERROR_MS, SECONDS_PER_DAY, distance,  # noqa: E402,F401
                            load_snapshots, propagate)

# A synced slave's date is within 0.1 s of its master's; master snapshots are
# half a second apart, so the nearest lies within a quarter second more.
PAIRING_S = 0.4
# Snapshots this close to a master's start or end are left out: one host may
# have dumped just before or after the other started or stopped.
EDGE_S = 0.3
PROBLEMS_KEPT = 5


@dataclass
class Following:
    samples: int = 0                 # paired snapshots after the first sync
    largest_error_m: float = 0.0
    largest_velocity_error: float = 0.0  # told, not judged: only positions are carried forward in transit
    sync_delays: list = field(default_factory=list)  # per master instance: seconds from the later start to sync
    never_synced: list = field(default_factory=list)  # master instances this slave should have followed
    out_of_step: int = 0             # snapshots after sync whose date matched no master snapshot
    problems: list = field(default_factory=list)
    problem_count: int = 0

    def problem(self, text):
        self.problem_count += 1
        if len(self.problems) < PROBLEMS_KEPT:
            self.problems.append(text)


def timed_snapshots(instance, dump_every):
    """[(wall, mjd, vessels)] of an instance; a killed host's last snapshot may be torn and is left out."""
    try:
        snapshots = load_snapshots(instance.dump, torn_tail_ok=True)
    except (OSError, ValueError):
        return []
    if instance.killed and snapshots:
        snapshots = snapshots[:-1]
    timed = []
    for index, (mjd, vessels) in enumerate(snapshots):
        # A dump of an empty sky writes no line, so counting dumps would
        # place every later snapshot too early.
        wall = next((v["wall"] for v in vessels.values() if v.get("wall") is not None), None)
        if wall is None:
            wall = min(instance.started + dump_every * (index + 1), instance.ends)
        timed.append((wall, mjd, vessels))
    return timed


def compare_run(slave, masters, dump_every):
    """The Following of one slave instance against the master instances."""
    result = Following()
    master_snapshots = [(m, timed_snapshots(m, dump_every)) for m in masters]
    synced = set()
    for wall, mjd, vessels in timed_snapshots(slave, dump_every):
        for master, snapshots in master_snapshots:
            # A killed master's torn last snapshot is gone: its window ends at the last one kept.
            if snapshots and master.started + EDGE_S <= wall <= min(master.ends - EDGE_S, snapshots[-1][0] + EDGE_S):
                break
        else:
            continue
        _, m_mjd, m_vessels = min(snapshots, key=lambda s: abs(s[1] - mjd))
        offset = (m_mjd - mjd) * SECONDS_PER_DAY
        paired = abs(offset) <= PAIRING_S
        complete = all(name in vessels for name in m_vessels)
        key = id(master)
        if key not in synced:
            if not (paired and complete):
                continue
            synced.add(key)
            result.sync_delays.append(wall - max(master.started, slave.started))
        if not paired:
            result.out_of_step += 1
            result.problem(f"{wall - slave.started:5.1f} s: date {offset:+.3f} s from the master's")
            continue
        result.samples += 1
        for name, m_vessel in m_vessels.items():
            s_vessel = vessels.get(name)
            if s_vessel is None:
                result.problem(f"{wall - slave.started:5.1f} s: {name} missing")
                continue
            if s_vessel.get("class") != m_vessel.get("class"):
                result.problem(f"{wall - slave.started:5.1f} s: {name} of class {s_vessel.get('class')}")
            r, v = propagate(s_vessel, offset)
            error = distance(r, m_vessel["rpos"])
            if error > MAX_POSITION_ERROR_M:
                result.problem(f"{wall - slave.started:5.1f} s: {name} {error:.1f} m off")
            result.largest_error_m = max(result.largest_error_m, error)
            result.largest_velocity_error = max(result.largest_velocity_error, distance(v, m_vessel["rvel"]))
        for name in vessels:
            if name not in m_vessels:
                result.problem(f"{wall - slave.started:5.1f} s: {name} exists only on the slave")
    for master, snapshots in master_snapshots:
        overlap = min(master.ends, slave.ends) - max(master.started, slave.started)
        if id(master) not in synced and overlap > 3.0:
            result.never_synced.append(master.folder.name)
    return result
