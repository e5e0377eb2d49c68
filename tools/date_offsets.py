"""How far a slave's simulation date is from its master's at the same moment.

simhost's timeline dumps stamp every line with the wall clock ("wall") and
the host's date ("mjd"). At each of the slave's snapshots, the master's date
at that wall time is read off the master's timeline (between the two master
snapshots around it, at the master's own rate between them), and the offset
is master minus slave: positive when the slave is behind. This needs nothing
from the slave's own statistics, so it checks them.
"""

import json
import math

SECONDS_PER_DAY = 86400.0


def timeline(path):
    """[(wall, mjd)] of the dump's snapshots, in order; lines without a wall
    stamp are left out."""
    points = []
    with open(path, encoding="utf-8") as handle:
        for line in handle:
            line = line.strip()
            if not line:
                continue
            try:
                vessel = json.loads(line)
            except json.JSONDecodeError:
                continue  # a line cut short by a kill
            wall, mjd = vessel.get("wall"), vessel.get("mjd")
            if not isinstance(wall, (int, float)) or not isinstance(mjd, (int, float)):
                continue
            if points and points[-1][0] == wall:
                continue  # the same snapshot's next vessel
            points.append((float(wall), float(mjd)))
    return points


def master_date_at(master, wall):
    """The master's date at `wall`, or None outside its timeline."""
    for (w0, m0), (w1, m1) in zip(master, master[1:]):
        if w0 <= wall <= w1:
            if w1 == w0:
                return m0
            return m0 + (m1 - m0) * (wall - w0) / (w1 - w0)
    return None


def offsets_ms(master, slave, since_wall=None):
    """[(wall, offset in ms)] at the slave's snapshots that the master's
    timeline covers, from `since_wall` on."""
    found = []
    for wall, mjd in slave:
        if since_wall is not None and wall < since_wall:
            continue
        at = master_date_at(master, wall)
        if at is not None:
            found.append((wall, (at - mjd) * SECONDS_PER_DAY * 1000.0))
    return found


def summary(points):
    """Mean, spread (standard deviation) and largest step (the largest change
    between two consecutive snapshots), in ms; None without points."""
    if not points:
        return None
    values = [offset for _, offset in points]
    mean = sum(values) / len(values)
    spread = math.sqrt(sum((v - mean) ** 2 for v in values) / len(values))
    largest_step = max((abs(b - a) for a, b in zip(values, values[1:])), default=0.0)
    return {"mean": mean, "spread": spread, "largest_step": largest_step, "samples": len(values)}


def describe(stats):
    if stats is None:
        return "no snapshots to compare"
    return (f"mean {stats['mean']:+.1f} ms, spread {stats['spread']:.1f} ms, largest step "
            f"{stats['largest_step']:.1f} ms ({stats['samples']} snapshots)")
