"""The fault suite's judgement on made-up evidence: the client table replayed
from a log, keys out of order and the key targets, and a slave's whole run
against its master."""

import json
import sys
import tempfile
import unittest
from pathlib import Path
from types import SimpleNamespace

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "tools" / "faults"))

import evidence  # noqa: E402
from analysis import Analysis, Result, out_of_order  # noqa: E402
from cluster import Helper, Instance  # noqa: E402
from following import compare_run  # noqa: E402
from scenarios import Attack, Scenario  # noqa: E402

EARTH = {"rbody": "Earth", "landed": False, "class": "Capsule1"}


def vessel(name, mjd, x, vy=7500.0, cls="Capsule1"):
    return dict(EARTH, name=name, mjd=mjd, rpos=[x, 0.0, 0.0], rvel=[0.0, vy, 0.0], **{"class": cls})


class ClientTableFromLog(unittest.TestCase):
    def test_time_outs_remove_by_position_and_the_largest_table_is_kept(self):
        lines = ["Client 127.0.0.1:1001 subscribed", "Client 127.0.0.1:1002 subscribed",
                 "Client 127.0.0.1:1003 subscribed", "Client #1 timed out", "Client #0 timed out",
                 "something else", "Client #5 timed out",
                 "Client lines not written one by one: 3, the last from 127.0.0.1:1004 (subscribed)"]
        with tempfile.TemporaryDirectory() as folder:
            log = Path(folder) / "Helmcast.log"
            log.write_text("".join(f"2026-01-02 03:04:{10 + i:02d}.500 Thread 1 Helmcast.cpp: 1:{text}\n"
                                   for i, text in enumerate(lines)))
            table = evidence.ClientTable(log)
        self.assertEqual(3, table.largest)
        self.assertEqual([1002, 1001], [port for _, port in table.timed_out])
        self.assertEqual(1, table.unknown_removals)
        self.assertTrue(table.lines_held)  # a replay that cannot be trusted says so
        self.assertAlmostEqual(1.0, table.time_out_of(1001) - table.time_out_of(1002))
        self.assertIsNone(table.time_out_of(1003))


class KeysOutOfOrder(unittest.TestCase):
    def test_counts_events_that_must_move_and_ignores_copies_and_strangers(self):
        rank = {("a", True): 0, ("a", False): 1, ("b", True): 2, ("b", False): 3}
        self.assertEqual(0, out_of_order([("a", True), ("a", False), ("a", False), ("b", True)], rank))
        self.assertEqual(1, out_of_order([("a", False), ("a", True), ("b", True), ("b", False)], rank))
        self.assertEqual(2, out_of_order([("b", True), ("b", False), ("x", True), ("a", True), ("a", False)], rank))


class KeyTargets(unittest.TestCase):
    def misses(self, scenario, **result):
        analysis = Analysis.__new__(Analysis)
        analysis.scenario, analysis.result = scenario, Result(scenario.name, **result)
        analysis.run = SimpleNamespace(problems=[])
        analysis.check_targets()
        return analysis.result.misses

    def test_only_a_reordering_link_excuses_presses_after_their_release_and_order_is_kept(self):
        jitter = Scenario("jitter", link="delay=200:100", all_keys=True)
        self.assertTrue(jitter.reorders and Scenario("r", link="dup=5,reorder=10:40").reorders)
        self.assertFalse(Scenario("d", link="delay=50:0,loss=2").reorders or Scenario("clean").reorders)
        self.assertEqual([], self.misses(jitter, keys_lost=3, keys_superseded=3))
        self.assertEqual(1, len(self.misses(jitter, keys_lost=4, keys_superseded=3)))
        self.assertEqual(1, len(self.misses(jitter, keys_out_of_order=1)))
        self.assertEqual(1, len(self.misses(Scenario("clean", all_keys=True), keys_lost=1)))
        self.assertEqual(1, len(self.misses(Scenario("lossy"), keys_foreign_master=2)))
        unmet = {"what": "bytes sent back", "value": "16 of 8", "target": "1x", "met": False}
        self.assertEqual(1, len(self.misses(Scenario("reflection"), measures=[unmet])))


class HostileMeasures(unittest.TestCase):
    """What the hostile senders and a fake master's slave left, judged."""

    def measured(self, scenario, folder, hostile=(), victim=None, fake_output=""):
        (folder / "fake.out").write_text(fake_output)
        run = SimpleNamespace(scenario=scenario, problems=[], relays={}, hostile=list(hostile), helmrelay=None,
                              fake_master=Helper("fake master", folder / "fake.out"), memory=[], bind=None,
                              instances=[victim] if victim else [])
        analysis = Analysis(run)
        analysis.check_hostile()
        return {m["what"].split(":")[0]: m["met"] for m in analysis.result.measures}

    def test_reflection_must_be_answered_and_no_larger_than_what_was_sent(self):
        with tempfile.TemporaryDirectory() as name:
            folder = Path(name)
            senders = []
            for label, back in (("even", 8), ("larger", 16), ("unanswered", 0)):
                (folder / label).write_text(f"reflect: port 5 sent 8 bytes in 1 Hellos, got back {back} bytes in "
                                            "1 datagrams\n")
                senders.append(Helper(label, folder / label, label=label, mode="reflect"))
            met = self.measured(Scenario("reflection", attacks=(Attack("reflect", "master"),)), folder, senders)
        self.assertEqual({"even": True, "larger": False, "unanswered": False},
                         {k: v for k, v in met.items() if k in ("even", "larger", "unanswered")})

    def test_unsafe_class_names_told_once_none_created_none_looked_up_and_the_controls_seen(self):
        def judged(lines, vessels, lookups):
            with tempfile.TemporaryDirectory() as name:
                folder = Path(name)
                (folder / "Helmecho.log").write_text("".join(
                    f"2026-01-02 03:04:05.000 Thread 1 Helmecho.cpp: 1:vessel {v}: class name \"{c}\" is no safe "
                    "file name (...); not created\n" for v, c in lines))
                with open(folder / "state.json", "w") as dump:
                    for v in vessels:
                        dump.write(json.dumps(dict(vessel(v, 60000.0, 7e6), wall=100.0)) + "\n")
                (folder / "simhost.out").write_text("".join(
                    f"simhost: no description of vessel class \"{c}\", using the generic class\n" for c in lookups))
                victim = Instance("victim", folder, "", 5.0, started=99.0, dump_every=1.0)
                return self.measured(Scenario("classes", fake_master="classes", cluster=False), folder,
                                     victim=victim, fake_output="classes: 2 unsafe class names and 2 controls\n")
        told = [("Probe-Up", "../Probe"), ("Probe-Ctrl", "Probe?")]
        controls = ["Control-Known", "Control-Unknown"]
        self.assertEqual([True] * 3, list(judged(told, controls, ["NoSuchClass"]).values()))
        self.assertEqual([False, False, False],
                         list(judged(told + told[:1], controls + ["Probe-Up"], ["NoSuchClass", "../Probe"]).values()))
        self.assertEqual([True, False, False], list(judged(told, controls[:1], []).values()))


class WholeRun(unittest.TestCase):
    """A master and a slave dumping every 0.5 s for 5 s, both started at wall time 100."""

    def run_with(self, slave_at, slave_dumps=10):
        with tempfile.TemporaryDirectory() as folder:
            hosts = []
            for role, make, dumps in (("master", lambda t, mjd: [vessel("A", mjd, 7e6 + 7500 * t)], 10),
                                      ("slave1", slave_at, slave_dumps)):
                path = Path(folder) / role
                path.mkdir()
                with open(path / "state.json", "w") as dump:
                    for i in range(dumps):
                        t = 0.5 * (i + 1)
                        for v in make(t, 60000.0 + t / 86400.0):
                            dump.write(json.dumps(v) + "\n")
                hosts.append(Instance(role, path, "", 5.0, started=100.0))
            return compare_run(hosts[1], hosts[:1], 0.5)

    def test_a_slave_in_step_follows(self):
        result = self.run_with(lambda t, mjd: [vessel("A", mjd, 7e6 + 7500 * t)])
        self.assertEqual([0.5], result.sync_delays)
        self.assertEqual(0, result.problem_count)
        self.assertLess(result.largest_error_m, 1.0)

    def test_an_error_in_the_middle_of_the_run_counts(self):
        result = self.run_with(lambda t, mjd: [vessel("A", mjd, 7e6 + 7500 * t + (900.0 if t == 2.5 else 0.0))])
        self.assertAlmostEqual(900.0, result.largest_error_m, delta=1.0)
        self.assertEqual(1, result.problem_count)

    def test_strangers_and_dates_the_master_never_had_count(self):
        def slave(t, mjd):
            if t == 3.0:
                return [vessel("A", mjd + 1.0, 7e6)]
            return [vessel("A", mjd, 7e6 + 7500 * t)] + ([vessel("Intruder", mjd, 1e7)] if t == 2.0 else [])
        result = self.run_with(slave)
        self.assertEqual(1, result.out_of_step)
        self.assertEqual(2, result.problem_count)

    def test_stamped_dumps_place_a_slave_that_began_with_an_empty_sky(self):
        # No line for the slave's first two dumps; after the master's end at
        # 105 its own clock runs on, dates the master never had.
        def stamped(t, mjd):
            return [dict(vessel("A", mjd, 7e6 + 7500 * t), wall=100.0 + t)] if t > 1.0 else []
        result = self.run_with(stamped, slave_dumps=12)
        self.assertEqual(0, result.out_of_step)
        self.assertEqual(0, result.problem_count)
        self.assertEqual([1.5], result.sync_delays)

    def test_a_slave_that_never_has_every_vessel_never_syncs(self):
        result = self.run_with(lambda t, mjd: [vessel("B", mjd, 7e6 + 7500 * t)])
        self.assertEqual(["master"], result.never_synced)
        self.assertEqual(0, result.samples)


if __name__ == "__main__":
    unittest.main()
