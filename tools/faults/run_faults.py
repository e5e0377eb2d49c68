#!/usr/bin/env python3
"""The fault suite: a master and two slaves (simhost processes on loopback)
through lossy, duplicating, reordering and slow links, restarts, kills, junk
floods, spoofed subscriptions and a stranger at a slave's port; then hostile
senders at a master and a helmrelay (reflection, Hello floods, keys from
strangers) and at a slave (a forged fleet, unsafe class names). Prints the
tables; exits 1 when a target is missed, 2 when the suite cannot run.

  run_faults.py BIN_DIR OUT_DIR [--only NAME,...] [--seed N] [--width N]
  run_faults.py --list | --reanalyse OUT_DIR
"""

import argparse
import json
import random
import sys
import time
from dataclasses import asdict
from pathlib import Path

import cluster
import report
import scenarios
from analysis import Analysis

ROOT = Path(__file__).resolve().parent.parent.parent


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("bin", nargs="?", help="folder of simhost, the modules, impair_relay and hostile_sender")
    parser.add_argument("out", nargs="?", help="folder for the hosts' folders, logs and dumps (emptied first)")
    parser.add_argument("--only", default="", help="scenarios to run, by name, separated by commas")
    parser.add_argument("--seed", type=int, default=None, help="seed of every impairment (default: fresh)")
    parser.add_argument("--width", type=int, default=5, help="scenarios run side by side (default 5)")
    parser.add_argument("--list", action="store_true", help="list the scenarios and stop")
    parser.add_argument("--reanalyse", metavar="OUT_DIR", help="analyse the folders of an earlier run again")
    args = parser.parse_args()

    chosen = scenarios.SCENARIOS
    if args.only:
        wanted = {name.strip() for name in args.only.split(",") if name.strip()}
        chosen = [s for s in chosen if s.name in wanted or scenarios.key_name(s) in wanted]
        if not chosen:
            print(f"run_faults: no scenario named {args.only}", file=sys.stderr)
            return 2
    if args.list:
        for s in scenarios.SCENARIOS:
            print(f"{scenarios.key_name(s):<24} {s.name}")
        return 0
    if args.reanalyse:
        folders = sorted(p.parent for p in Path(args.reanalyse).glob("*/run.json"))
        runs = [cluster.SavedRun(folder) for folder in folders]
        order = {s.name: i for i, s in enumerate(scenarios.SCENARIOS)}
        runs.sort(key=lambda run: order[run.scenario.name])
        return conclude([Analysis(run).analyse() for run in runs], None, Path(args.reanalyse), time.time())
    if not args.bin or not args.out:
        parser.error("BIN_DIR and OUT_DIR are needed")
    bin_dir = Path(args.bin).resolve()
    for program in ("simhost", "Helmcast.so", "Helmecho.so", "impair_relay", "hostile_sender", "helmrelay"):
        if not (bin_dir / program).exists():
            print(f"run_faults: {bin_dir / program} is missing (build first)", file=sys.stderr)
            return 2
    seed = args.seed if args.seed is not None else random.SystemRandom().randrange(1, 2 ** 31)
    out = Path(args.out).resolve()
    if out.exists():
        import shutil
        shutil.rmtree(out)
    out.mkdir(parents=True)

    started = time.time()
    lengths = sorted({s.duration for s in chosen})
    print(f"Fault suite: {len(chosen)} scenarios of {' or '.join(f'{d:.0f}' for d in lengths)} s, seed {seed}, "
          f"output {out}")
    cluster.install_signal_cleanup()
    results = []
    try:
        for wave in scenarios.waves(chosen, max(1, args.width)):
            print("  running: " + ", ".join(s.name for s in wave), flush=True)
            runs = [cluster.ScenarioRun(s, bin_dir, ROOT, out / scenarios.key_name(s),
                                        seed + 100 * scenarios.SCENARIOS.index(s)) for s in wave]
            cluster.run_wave(runs, lambda text: print(text, flush=True))
            results += [Analysis(run).analyse() for run in runs]
    finally:
        cluster.kill_all_children()

    return conclude(results, seed, out, started)


def conclude(results, seed, out, started):
    """Prints the table and what was missed; the exit status."""
    if not results:
        print("run_faults: no scenario results", file=sys.stderr)
        return 2
    print()
    print(report.table(results))
    print()
    print(report.LEGEND)
    hostile = report.measures(results)
    if hostile:
        print("\nHostile senders:")
        print(hostile)
    notes = report.notes(results)
    if notes:
        print("\nNotes:")
        print("\n".join(notes))
    misses = report.misses(results)
    if seed is not None:
        (out / "results.json").write_text(json.dumps({"seed": seed, "results": [asdict(r) for r in results]},
                                                     indent=1, default=str))
        print(f"\nSeed {seed}; {time.time() - started:.0f} s; details in {out}")
    failed = sum(1 for r in results if r.misses)
    if misses:
        print(f"\n{len(misses)} targets missed:")
        print("\n".join(misses))
    else:
        print("\nEvery target met.")
    print(f"faults: {len(results) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
