#!/usr/bin/env python3
"""The benchmark machinery: bench/run.py's summary of repetitions, callgrind dumps and plot,
eedb-bench's own modes on small sizes (the plug-in loaded with dlopen, as `make bench` runs it),
the parse-only anchor and bench/replay_speed.sh on a short stream.

  test_run.py [EEDB_BENCH]      (without it, only the summary is tested; the anchor and the tool
                                 are taken from the same build)
"""

import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "bench"))
import run  # noqa: E402
import svgplot  # noqa: E402

EXE = None


def bench_run(name, rates, **counters):
    """Google Benchmark's JSON for the repetitions of one benchmark, with its aggregates (which
    the summary must ignore: their mean is not the median)."""
    runs = [dict(name=name, run_name=name, run_type="iteration", items_per_second=r, **counters)
            for r in rates]
    runs.append(dict(name=name + "_mean", run_name=name, run_type="aggregate",
                     aggregate_name="mean", items_per_second=sum(rates) / len(rates), **counters))
    return runs


def table_raw(label, util, floor, nofind):
    raw = []
    for op in run.OPS:
        raw += bench_run("%s/%s/processSwEntry" % (label, op), util, allocs_per_item=0.0)
        raw += bench_run("%s/%s/floor" % (label, op), floor, allocs_per_item=0.0)
        raw += bench_run("%s/%s/floor-nofind" % (label, op), nofind, allocs_per_item=0.0)
    return raw


class Summary(unittest.TestCase):
    def test_median_and_spread_of_the_repetitions_not_their_mean(self):
        raw = {"benchmarks": table_raw("EedbOutrifUtil/view:1", [10e6, 30e6, 20e6, 21e6, 19e6],
                                       [40e6] * 5, [50e6] * 5)}
        utils, _, _, _ = run.summarise(raw)
        update = utils["EedbOutrifUtil"]["views"]["1"]["update"]
        self.assertEqual(update["perSecond"], 20e6)
        self.assertAlmostEqual(update["spread"], (30e6 - 10e6) / 20e6)
        self.assertEqual(update["floorSpread"], 0.0)
        self.assertAlmostEqual(update["floorRatio"], 2.0)
        self.assertAlmostEqual(update["floorNoFindRatio"], 2.5)
        # The members scripts read before the repetitions came stay.
        for member in ("updatePerSecond", "updateFloorRatio", "allocsPerUpdate"):
            self.assertIn(member, utils["EedbOutrifUtil"])

    def test_instruction_ratios_against_both_floors(self):
        raw = {"benchmarks": table_raw("EedbArpTableUtil/view:2", [1e6] * 5, [2e6] * 5,
                                       [3e6] * 5)}
        counts = {"EedbArpTableUtil/view:2/delete/processSwEntry": 300.0,
                  "EedbArpTableUtil/view:2/delete/floor": 100.0,
                  "EedbArpTableUtil/view:2/delete/floor-nofind": 60.0}
        utils, _, _, _ = run.summarise(raw, counts)
        u = utils["EedbArpTableUtil"]
        delete = u["views"]["2"]["delete"]
        self.assertEqual(delete["instructionRatio"], 3.0)
        self.assertEqual(delete["instructionRatioNoFind"], 5.0)
        self.assertEqual(u["deleteInstructionsPerEntry"], 300.0)
        self.assertNotIn("instructionsPerEntry", u["views"]["2"]["add"])
        self.assertNotIn("addInstructionsPerEntry", u)

    def test_scaling_and_mixed_figures(self):
        raw = {"benchmarks":
               bench_run("scaling/1048576/update/processSwEntry", [10e6, 20e6, 25e6, 20e6, 20e6],
                         keys=1048576)
               + bench_run("scaling/1048576/update/floor", [40e6] * 5, keys=1048576)
               + bench_run("mixed/4faps/processSwEntry", [5e6] * 5, keys=1000, tables=12,
                           calls_per_item=1.25, allocs_per_item=0.0)}
        _, _, scaling, mixed = run.summarise(raw, {"mixed/4faps/processSwEntry": 500.0})
        update = scaling["1048576"]["update"]
        self.assertAlmostEqual(update["processSwEntry"]["nsPerEntry"], 50.0)
        self.assertAlmostEqual(update["processSwEntry"]["spread"], 0.75)
        self.assertAlmostEqual(update["floor"]["nsPerEntry"], 25.0)
        self.assertAlmostEqual(mixed["nsPerEntry"], 200.0)
        self.assertAlmostEqual(mixed["nsPerCall"], 160.0)
        self.assertEqual(mixed["instructionsPerCall"], 400.0)


class Callgrind(unittest.TestCase):
    def dump(self, folder, name, desc, totals):
        with open(os.path.join(folder, name), "w") as f:
            f.write("version: 1\ncreator: callgrind\ndesc: I1 cache:\n%s\nevents: Ir\n"
                    "fn=(1) main\n0 12\nsummary: %d\ntotals: %d\n" % (desc, totals, totals))
        return os.path.join(folder, name)

    def test_named_dumps_per_entry_and_the_rest_ignored(self):
        with tempfile.TemporaryDirectory() as work:
            paths = [
                self.dump(work, "callgrind.out.1.1", "desc: Trigger: Client Request: "
                          "EedbOutrifUtil/view:1/update/processSwEntry entries=4096", 4096 * 350),
                self.dump(work, "callgrind.out.1.2", "desc: Trigger: Client Request: "
                          "mixed/4faps/processSwEntry entries=1000", 812_000),
                self.dump(work, "callgrind.out.1", "desc: Trigger: Program termination", 99)]
            counts = run.parse_callgrind_dumps(paths)
        self.assertEqual(counts, {"EedbOutrifUtil/view:1/update/processSwEntry": 350.0,
                                  "mixed/4faps/processSwEntry": 812.0})


class Plot(unittest.TestCase):
    def test_scaling_plot_is_svg_with_every_series_and_the_sawtooth(self):
        scaling = {str(n): {op: {"processSwEntry": {"nsPerEntry": 30.0 + n / 1e5, "spread": 0},
                                 "floor": {"nsPerEntry": 10.0, "spread": 0}}
                            for op in run.OPS} for n in (1024, 65536, 1 << 20)}
        curve = {"case": "EedbOutrifUtil/view:1",
                 "points": [[896, 30000, 30000], [897, 60000, 90000], [1792, 60000, 60000],
                            [1793, 120000, 180000], [3000, 120000, 120000]]}
        svg = run.scaling_svg(scaling, curve)
        root = ET.fromstring(svg)
        texts = {t.text for t in root.iter("{http://www.w3.org/2000/svg}text")}
        self.assertTrue({"update", "update floor", "peak during growth", "1K", "1M", "64K"} <= texts,
                        texts)
        lo, hi, peak = run.sawtooth(curve["points"])
        self.assertEqual(lo, (60000 / 1792, 1792))
        self.assertEqual(hi, (120000 / 1793, 1793))
        self.assertEqual(peak, (180000 / 1793, 1793))

    def test_empty_chart_says_so(self):
        root = ET.fromstring(svgplot.chart("t", "x", "y", []))
        self.assertIn("no data", "".join(root.itertext()))

    def test_each_view_and_each_size_is_a_group_of_its_own(self):
        names = ["EedbOutrifUtil/view:1/%s/%s" % (op, kind) for op in run.OPS
                 for kind in ("processSwEntry", "floor")] + [
            "EedbAgMemTlmUtil/view:-/add/processSwEntry", "memory/EedbOutrifUtil/view:1",
            "scaling/1024/add/floor", "scaling/1048576/add/processSwEntry",
            "scaling/1024/delete/processSwEntry", "mixed/4faps/processSwEntry"]
        self.assertEqual(run.groups(names), [
            "EedbOutrifUtil/view:1", "EedbAgMemTlmUtil/view:-", "memory/EedbOutrifUtil",
            "scaling/1024", "scaling/1048576", "mixed"])


@unittest.skipIf(EXE is None and len(sys.argv) < 2, "no eedb-bench given")
class EedbBench(unittest.TestCase):
    def bench(self, *args, status=0):
        done = subprocess.run([EXE] + list(args), capture_output=True, text=True, timeout=600)
        self.assertEqual(done.returncode, status, done.stderr)
        return done

    def test_bad_options_name_the_option_and_the_value(self):
        for args, message in ((["--keys=0"], "--keys: '0' is not a positive count"),
                              (["--keys=70000"], "--keys must be 1 to 65536"),
                              (["--scaling-keys=1024,x"], "--scaling-keys: 'x' is not a positive "
                               "count"),
                              (["--instructions=some"], "--instructions: 'some' is none of "
                               "table, mixed, all")):
            done = self.bench(*args, status=2)
            self.assertEqual(done.stderr, "eedb-bench: %s\n" % message)

    def test_memory_curve_steps_at_each_growth_and_peaks_above(self):
        with tempfile.TemporaryDirectory() as work:
            path = os.path.join(work, "curve.json")
            self.bench("--memory-curve=" + path, "--memory-entries=20000")
            with open(path) as f:
                curve = json.load(f)
        points = curve["points"]
        self.assertEqual(points[-1][0], 20000)
        growths = [(a, b) for a, b in zip(points, points[1:]) if b[1] > a[1]]
        self.assertGreater(len(growths), 3)
        for before, after in growths:
            self.assertEqual(after[0], before[0] + 1)  # the entry that made it grow
            self.assertGreaterEqual(after[2], after[1])
        self.assertTrue(any(p[2] > p[1] for p in points), "no rehash held two arrays at once")
        self.assertTrue(10 < points[-1][1] / 20000 < 400, points[-1])

    def test_scaling_and_mixed_run_and_summarise(self):
        with tempfile.TemporaryDirectory() as work:
            out = os.path.join(work, "raw.json")
            self.bench("--scaling-keys=1024,131072", "--mixed-keys=3000",
                       "--benchmark_filter=^(scaling|mixed)/", "--benchmark_repetitions=2",
                       "--benchmark_enable_random_interleaving=true",
                       "--benchmark_min_time=0.001", "--benchmark_out=" + out)
            with open(out) as f:
                raw = json.load(f)
        _, _, scaling, mixed = run.summarise(raw)
        self.assertEqual(sorted(scaling), ["1024", "131072"])
        for op in run.OPS:
            self.assertEqual(sorted(scaling["131072"][op]), ["floor", "processSwEntry"])
        # Passes take the samples of 65,536 keys in turn: two cover a table of 128K keys.
        samples = {b["name"].split("/")[1]: b["samples"] for b in raw["benchmarks"]
                   if b["name"].startswith("scaling/") and b["run_type"] == "iteration"}
        self.assertEqual(samples, {"1024": 1, "131072": 2})
        self.assertEqual(mixed["keys"], 3000)
        self.assertEqual(mixed["tables"], 12)
        self.assertGreater(mixed["callsPerEntry"], 1.0)  # some tables have several utilities
        # Only the shadow store allocates: the tombstones of deletes use up a set's room, so a
        # restored key now and then grows it (how often depends on the number of timed passes).
        self.assertLess(mixed["allocsPerEntry"], 1e-3)

    @unittest.skipIf(shutil.which("valgrind") is None, "no valgrind")
    def test_instruction_counts_under_callgrind(self):
        with tempfile.TemporaryDirectory() as work:
            subprocess.run(["valgrind", "--tool=callgrind", "--instr-atstart=no",
                            "--callgrind-out-file=" + os.path.join(work, "callgrind.out.%p"),
                            EXE, "--instructions=mixed", "--mixed-keys=2000"],
                           check=True, capture_output=True, timeout=600)
            counts = run.parse_callgrind_dumps(
                [os.path.join(work, f) for f in os.listdir(work)])
        self.assertEqual(list(counts), ["mixed/4faps/processSwEntry"])
        self.assertTrue(100 < counts["mixed/4faps/processSwEntry"] < 20000, counts)

    def test_instruction_passes_run_outside_callgrind(self):
        done = self.bench("--instructions=all", "--keys=64", "--mixed-keys=1000")
        self.assertRegex(done.stdout, r"^mixed: 1000 entries, \d+ processSwEntry calls\n$")

    def build(self, *path):
        return os.path.join(os.path.dirname(os.path.dirname(EXE)), *path)

    def test_anchor_touches_every_value_and_names_a_bad_line(self):
        lines = ['{"a": 1, "bb": [2, "xyz", true, false, null, {"c": 40}]}', '{"d": "e"}',
                 '{"x": }']
        with tempfile.TemporaryDirectory() as work:
            path = os.path.join(work, "s.jsonl")
            # Keys 4 + 1, numbers 43, strings 3 + 1, one true; then a line that is not JSON.
            for count, status, stdout in ((2, 0, "2 lines, checksum 53\n"), (3, 1, "")):
                with open(path, "w") as f:
                    f.write("\n".join(lines[:count]) + "\n")
                done = subprocess.run([self.build("bench", "eedb-parse-anchor"), path],
                                      capture_output=True, text=True)
                self.assertEqual((done.returncode, done.stdout), (status, stdout), done.stderr)
        self.assertRegex(done.stderr, r"^eedb-parse-anchor: line 3: ")

    def test_replay_speed_gives_each_run_as_a_multiple_of_the_anchor(self):
        with tempfile.TemporaryDirectory() as work:
            out = os.path.join(work, "speed.json")
            script = os.path.join(HERE, "..", "..", "bench", "replay_speed.sh")
            done = subprocess.run(["sh", script, self.build(), "400", "2"], capture_output=True,
                                  text=True, env=dict(os.environ, REPLAY_SPEED_JSON=out),
                                  timeout=600)
            self.assertEqual(done.returncode, 0, done.stderr)
            with open(out) as f:
                speed = json.load(f)
        self.assertEqual(sorted(speed["streams"]), ["mixed", "outrif"])
        for figures in speed["streams"].values():
            self.assertEqual(list(figures), ["anchor", "--quiet", "--format json"])
            self.assertEqual(figures["anchor"]["timesAnchor"], 1.0)
            self.assertGreater(figures["--format json"]["cpuSeconds"], 0)
        self.assertIn("medians of 2 interleaved runs of 400 lines", done.stdout)


if __name__ == "__main__":
    if len(sys.argv) > 1:
        EXE = sys.argv.pop(1)
    unittest.main()
