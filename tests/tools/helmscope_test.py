#!/usr/bin/env python3
"""helmscope against a real master, against nothing, and with bad arguments.

usage: helmscope_test.py BIN_DIR SOURCE_DIR WORK_DIR
"""

import json
import shutil
import subprocess
import sys
from pathlib import Path

import module_traffic
import outcome


def scope(bin_dir, *args, timeout=60):
    return subprocess.run([str(bin_dir / "helmscope"), *args], capture_output=True, text=True, timeout=timeout)


def main():
    bin_dir, source_dir, work_dir = (Path(a).resolve() for a in sys.argv[1:4])
    shutil.rmtree(work_dir, ignore_errors=True)
    problems = []

    def check(condition, text):
        if not condition:
            problems.append(text)

    # A master on a free port, running long enough for two looks, typing L
    # once a second so that any look of a few seconds sees keys.
    port = module_traffic.free_port()
    taps = [f"{t}:L:tap" for t in range(2, 12)]
    master = module_traffic.start_simhost(bin_dir, source_dir, work_dir / "master", "Helmcast.so", "Demo.scn", 14,
                                          taps, "Helmcast.cfg",
                                          f"masterPort = {port}\ntextSyncClasses = Shuttle2 Capsule1\n")
    try:
        done = scope(bin_dir, f"127.0.0.1:{port}", "--json", "--seconds", "3")
        print(done.stdout)
        check(done.returncode == 0, f"--json against the master: exit {done.returncode}: {done.stderr}")
        snapshot = json.loads(done.stdout)
        ships = module_traffic.demo_ships(source_dir)
        seen = {v["name"]: v["class"] for v in snapshot["vessels"]}
        check(seen == ships, f"vessels {seen} instead of {ships}")
        check(snapshot["link"]["updates_per_second"] > 0, "no update rate")
        check(snapshot["link"]["acknowledgements"] == snapshot["link"]["updates"], "not one Ack per update")
        check(snapshot["simulation"]["focus"] == "Orbiter-1", f"focus {snapshot['simulation']}")
        kinds = {v["name"]: v["carries"] for v in snapshot["vessels"]}
        check("text" in kinds.get("Orbiter-1", []) and "XR" in kinds.get("XR-5", []),
              f"scenario text or XR not seen: {kinds}")
        keys = {(k["key"], k["release"]) for k in
                next(v for v in snapshot["vessels"] if v["name"] == "Orbiter-1")["last_keys"]}
        check(keys == {("L", False), ("L", True)}, f"keys of the focus vessel {keys} instead of L down and up")

        done = scope(bin_dir, f"localhost:{port}", "--once", "--seconds", "1")
        print(done.stdout)
        check(done.returncode == 0 and "Station-A" in done.stdout and "updates/s" in done.stdout,
              f"--once against the master: exit {done.returncode}")
    finally:
        master.terminate()
        master.wait(timeout=10)

    # Nothing there: a failed health check that says why.
    done = scope(bin_dir, f"127.0.0.1:{module_traffic.free_port()}", "--json", "--seconds", "1")
    check(done.returncode == 1 and "no update from 127.0.0.1" in done.stderr,
          f"against nothing: exit {done.returncode}, '{done.stderr}'")
    check(json.loads(done.stdout)["link"]["updates"] == 0, "against nothing: updates counted")

    for args, message in [(["300.1.2.3"], "bad master address '300.1.2.3'"), (["127.0.0.1:70000"], "bad port"),
                          (["--seconds", "-1"], "bad --seconds"), (["--bogus"], "unknown option --bogus")]:
        done = scope(bin_dir, *args, "--json")
        check(done.returncode == 2 and message in done.stderr, f"{args}: exit {done.returncode}, '{done.stderr}'")

    return outcome.finish(problems, "helmscope")


if __name__ == "__main__":
    sys.exit(main())
