#!/usr/bin/env python3
"""tools/linkplot on a slave log written here: the figures it reads, the
picture it writes, and its answer to a log without statistics.

usage: linkplot_test.py SOURCE_DIR WORK_DIR
"""

import runpy
import shutil
import struct
import subprocess
import sys
from pathlib import Path

import outcome

LOG = """\
2026-12-08 10:15:00.100 Thread 42       Helmecho.cpp:  97:Config: debug=1
2026-12-08 10:15:01.117 Thread 42       Helmecho.cpp: 442:Pkts: 0 lost: 0 ( 0.0 %) dropped: 0 ( 0.0 %) 0 upd/sec mean_delay= 0.0 ms jitter= 0.0 ms rms
2026-12-08 10:15:02.120 Thread 42       Helmecho.cpp: 442:Pkts: 719 lost: 36 ( 5.0 %) dropped: 0 ( 0.0 %) 24 upd/sec mean_delay=83.3 ms jitter= 0.4 ms rms
2026-12-08 10:15:02.500 Thread 42       Helmecho.cpp: 449:Not taken in: 2 copies, 0 of older updates
2026-12-08 10:15:03.125 Thread 42       Helmecho.cpp: 442:Pkts: 600 lost: 0 ( 0.0 %) dropped: 30 ( 5.0 %) 20 upd/sec mean_delay=-1.5 ms jitter=12.0 ms rms
"""


def main():
    source_dir, work_dir = (Path(a).resolve() for a in sys.argv[1:3])
    shutil.rmtree(work_dir, ignore_errors=True)
    work_dir.mkdir(parents=True)
    tool = source_dir / "tools" / "linkplot"
    problems = []

    samples = runpy.run_path(str(tool))["parse_statistics"](LOG.splitlines())
    if [round(s["seconds"], 3) for s in samples] != [0.0, 1.003, 2.008]:
        problems.append(f"times {[s['seconds'] for s in samples]}")
    if (samples[1]["lost"], samples[1]["lost_percent"], samples[1]["updates"]) != (36, 5.0, 24):
        problems.append(f"second line read as {samples[1]}")
    if (samples[2]["dropped_percent"], samples[2]["delay"], samples[2]["jitter"]) != (5.0, -1.5, 12.0):
        problems.append(f"third line read as {samples[2]}")

    log = work_dir / "Helmecho.log"
    log.write_text(LOG)
    picture = work_dir / "link.png"
    done = subprocess.run([str(tool), str(log), "-o", str(picture), "--title", "slave1"], capture_output=True,
                          text=True, timeout=120)
    if done.returncode != 0 or "link.png" not in done.stdout:
        problems.append(f"linkplot: exit {done.returncode}: {done.stdout} {done.stderr}")
    else:
        header = picture.read_bytes()[:24]
        size = struct.unpack(">II", header[16:24]) if header[:8] == b"\x89PNG\r\n\x1a\n" else None
        if size != (800, 600):
            problems.append(f"not an 800 x 600 PNG: {header!r}")

    # The date offset from timeline dumps: a slave 40 ms behind, then (after
    # a step of its date) 10 ms ahead; the master's date read between its
    # snapshots. An 800 x 800 picture with the fourth panel.
    day = 86400.0
    master, slave = work_dir / "master.json", work_dir / "slave.json"
    master.write_text("".join(f'{{"name":"A","wall":{100 + t},"mjd":{60000 + t / day}}}\n' for t in range(0, 10, 2)))
    slave.write_text("".join(f'{{"name":"A","wall":{101 + t},"mjd":{60000 + (t + 1 - (0.04 if t < 4 else -0.01)) / day}}}\n'
                             f'{{"name":"B","wall":{101 + t},"mjd":{60000 + t / day}}}\n' for t in range(0, 8, 2)))
    sys.path.insert(0, str(source_dir / "tools"))
    import date_offsets
    points = date_offsets.offsets_ms(date_offsets.timeline(master), date_offsets.timeline(slave))
    found = date_offsets.summary(points)
    if [round(v, 2) for _, v in points] != [40.0, 40.0, -10.0, -10.0] or round(found["largest_step"], 2) != 50.0:
        problems.append(f"date offsets {points}, {found}")
    done = subprocess.run([str(tool), str(log), "-o", str(picture), "--dumps", str(master), str(slave)],
                          capture_output=True, text=True, timeout=120)
    header = picture.read_bytes()[:24]
    if done.returncode != 0 or struct.unpack(">II", header[16:24]) != (800, 800):
        problems.append(f"linkplot --dumps: exit {done.returncode}: {done.stderr} {header!r}")

    empty = work_dir / "empty.log"
    empty.write_text(LOG.splitlines()[0] + "\n")
    done = subprocess.run([str(tool), str(empty)], capture_output=True, text=True, timeout=120)
    if done.returncode != 1 or "no statistics lines" not in done.stderr:
        problems.append(f"log without statistics: exit {done.returncode}: {done.stderr}")

    return outcome.finish(problems, f"{len(samples)} statistics lines read")


if __name__ == "__main__":
    sys.exit(main())
