#!/usr/bin/env python3
"""Runs the benchmarks of a Release build and prints one summary of all figures.

  bench/run.py BUILD_DIR [--quick] [--no-instructions]

eedb-bench gives processSwEntry and the floor (with and without its read-back) per table utility,
view and operation, the mixed stream, the scaling from 1K to 16M keys, the heap allocations per
entry and the bytes per stored shadow entry. Each table utility and view (each size of the
scaling) runs in a process of its own, its REPETITIONS repetitions of processSwEntry and of the
floors interleaved at random, so that a change of load falls on both sides of a ratio; every time
is the median of the repetitions, shown with its spread. Under callgrind, one pass of each gives
the instructions per entry, which do not move with the machine's load. bench/replay_speed.sh
times eedb-replay with --quiet and with --format json against the parse-only anchor, and counts
their instructions per line under callgrind beside the times. The figures
go to standard output, to BUILD_DIR/bench-summary.json (with the machine and its load average at
the start and the end) and, as a plot of the scaling, to BUILD_DIR/bench-scaling.svg. Nothing is
asserted: the targets are shown beside the figures.

--quick (CI) runs briefly on small batches, stops the scaling at 1M keys and counts no
instructions; --no-instructions leaves the callgrind runs out of a full run.
"""

import argparse
import glob
import json
import os
import platform
import shutil
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import svgplot  # noqa: E402

# Targets on the two-core build machine.
MAX_FLOOR_RATIO = 2.5          # every table utility, view and operation, at 65,536 keys
MAX_SCALING_FLOOR_RATIO = 1.8  # Out-RIF at 1M keys and more
MIN_OUTRIF_ADDS = 5e6
MAX_BYTES_PER_ENTRY = 64.0
MAX_REPLAY_QUIET_ANCHOR = 1.5  # processor time over the parse-only anchor's
MAX_REPLAY_JSON_ANCHOR = 2.5

# The plug-in measured (--plugin): the build's own when None.
PLUGIN = None

OPS = ("add", "update", "delete")
REPETITIONS = 5
SCALING_KEYS = [1 << 10, 1 << 16, 1 << 20, 1 << 22, 1 << 24]
QUICK_SCALING_KEYS = [1 << 10, 1 << 16, 1 << 20]


# ---- the replay against its anchor ----

def time_replay(build, lines, runs, counted):
    """bench/replay_speed.sh's figures: the replay's processor time on the Out-RIF and mixed
    streams, with --quiet and --format json, as multiples of the parse-only anchor's, and with
    `counted` lines its instructions per line beside them; None with the reason when it cannot
    run."""
    out = os.path.join(build, "bench-replay.json")
    script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "replay_speed.sh")
    env = dict(os.environ, REPLAY_SPEED_JSON=out, REPLAY_SPEED_INSTRUCTIONS=str(counted))
    if PLUGIN:
        env["REPLAY_SPEED_PLUGIN"] = PLUGIN
    cmd = ["sh", script, build, str(lines), str(runs)]
    print("running:", " ".join(cmd), flush=True)
    done = subprocess.run(cmd, env=env, capture_output=True, text=True)
    if done.returncode != 0:
        return None, (done.stderr.strip() or done.stdout.strip())[-300:]
    with open(out) as f:
        return json.load(f), ""


# ---- the benchmark results ----

def bench_exe(build):
    return os.path.join(build, "bench", "eedb-bench")


def bench_args(quick):
    plugin = ["--plugin=" + PLUGIN] if PLUGIN else []
    if quick:
        return plugin + ["--keys=4096", "--memory-entries=100000", "--mixed-keys=100000",
                "--scaling-keys=" + ",".join(map(str, QUICK_SCALING_KEYS))]
    return plugin + ["--scaling-keys=" + ",".join(map(str, SCALING_KEYS))]


def groups(names):
    """The benchmarks that run in one process: one table utility and view
    ("EedbOutrifUtil/view:1"), one size of the scaling ("scaling/1048576"), the mixed stream, the
    memory figure. Within a group the processSwEntry and floor runs of every repetition are
    interleaved at random; the group's subjects are built once."""
    out = []
    for name in names:
        parts = name.split("/")
        group = "/".join(parts[:2]) if parts[0] != "mixed" else parts[0]
        if group not in out:
            out.append(group)
    return out


def run_bench(build, quick, min_time=None):
    listed = subprocess.run([bench_exe(build), "--benchmark_list_tests=true"] + bench_args(quick),
                            check=True, capture_output=True, text=True).stdout.split()
    raw = {"benchmarks": []}
    for group in groups(listed):
        out = os.path.join(build, "bench-raw-part.json")
        cmd = [bench_exe(build), "--benchmark_filter=^%s/" % group,
               "--benchmark_out=" + out, "--benchmark_out_format=json",
               "--benchmark_repetitions=%d" % (1 if group.startswith("memory") else REPETITIONS),
               "--benchmark_enable_random_interleaving=true",
               "--benchmark_min_time=%s" % (min_time or ("0.01" if quick else "0.1"))] + \
            bench_args(quick)
        print("running:", " ".join(cmd), flush=True)
        subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
        with open(out) as f:
            part = json.load(f)
        raw["context"] = part["context"]
        raw["benchmarks"] += part["benchmarks"]
    os.remove(out)
    with open(os.path.join(build, "bench-raw.json"), "w") as f:
        json.dump(raw, f, indent=1)
    return raw


def run_memory_curve(build, entries):
    path = os.path.join(build, "bench-memory-curve.json")
    cmd = [bench_exe(build), "--memory-curve=" + path, "--memory-entries=%d" % entries] + \
        (["--plugin=" + PLUGIN] if PLUGIN else [])
    print("running:", " ".join(cmd), flush=True)
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
    with open(path) as f:
        return json.load(f)


def parse_callgrind_dumps(paths):
    """{dump name: instructions per entry} from callgrind dumps triggered by client requests
    named "NAME entries=N" (bench/Instructions.cc)."""
    counts = {}
    for path in paths:
        name, total = None, None
        with open(path) as f:
            for line in f:
                if line.startswith("desc: Trigger: Client Request: "):
                    name = line.split("Client Request: ", 1)[1].strip()
                elif line.startswith(("totals:", "summary:")) and total is None:
                    total = int(line.split()[1])
        if name is None or total is None or " entries=" not in name:
            continue
        label, entries = name.rsplit(" entries=", 1)
        counts[label] = total / int(entries)
    return counts


def callgrind_dir(build):
    return os.path.join(build, "callgrind")


def run_instructions(build, quick):
    """Instructions per entry of one pass of every benchmark, under callgrind; {} without
    valgrind. The dumps stay in BUILD/callgrind/."""
    if shutil.which("valgrind") is None:
        print("no valgrind: no instruction counts", flush=True)
        return {}
    work = callgrind_dir(build)
    os.makedirs(work, exist_ok=True)
    for old in glob.glob(os.path.join(work, "callgrind.out.*")):
        os.remove(old)
    cmd = ["valgrind", "--tool=callgrind", "--instr-atstart=no",
           "--callgrind-out-file=" + os.path.join(work, "callgrind.out.%p"),
           bench_exe(build), "--instructions=all"] + bench_args(quick)
    print("running:", " ".join(cmd), flush=True)
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return last_instructions(build)


def last_instructions(build):
    return parse_callgrind_dumps(glob.glob(os.path.join(callgrind_dir(build), "callgrind.out.*")))


def repetitions(raw):
    """{benchmark name: (the runs of its repetitions, in order)}; each run is the JSON object
    Google Benchmark wrote."""
    runs = {}
    for b in raw["benchmarks"]:
        if b.get("run_type", "iteration") == "iteration":
            runs.setdefault(b.get("run_name", b["name"]), []).append(b)
    return runs


def median_spread(values):
    """The median and the spread, (max - min) / median."""
    m = statistics.median(values)
    return m, (max(values) - min(values)) / m if m else 0.0


def rate(runs):
    """Items per second: the median over the repetitions, and its spread."""
    return median_spread([r["items_per_second"] for r in runs])


def summarise(raw, instructions=None):
    instructions = instructions or {}
    views = {}   # "Util/view:N" -> op -> kind -> {"rate": (median, spread), ...}
    memory, scaling, mixed = {}, {}, {}
    for name, runs in repetitions(raw).items():
        parts = name.split("/")
        if parts[0] == "memory":
            b = runs[0]
            memory = {"bytesPerEntry": b["bytes_per_entry"], "entries": int(b["entries"]),
                      "floorBytesPerEntry": b["floor_bytes_per_entry"]}
            continue
        if parts[0] == "scaling":
            per_second, spread = rate(runs)
            scaling.setdefault(parts[1], {}).setdefault(parts[2], {})[parts[3]] = {
                "nsPerEntry": 1e9 / per_second, "spread": spread}
            continue
        if parts[0] == "mixed":
            per_second, spread = rate(runs)
            calls = runs[0]["calls_per_item"]
            mixed = {"keys": int(runs[0]["keys"]), "tables": int(runs[0]["tables"]),
                     "nsPerEntry": 1e9 / per_second, "spread": spread, "callsPerEntry": calls,
                     "nsPerCall": 1e9 / per_second / calls,
                     "allocsPerEntry": max(r["allocs_per_item"] for r in runs)}
            count = instructions.get("/".join(parts))
            if count is not None:
                mixed["instructionsPerEntry"] = count
                mixed["instructionsPerCall"] = count / calls
            continue
        label, op, kind = "/".join(parts[:2]), parts[2], parts[3]
        per_second, spread = rate(runs)
        slot = views.setdefault(label, {}).setdefault(op, {})
        slot[kind] = {"perSecond": per_second, "spread": spread,
                      "instructions": instructions.get(name)}
        if kind == "processSwEntry":
            slot["allocs"] = max(r["allocs_per_item"] for r in runs)
    utils = {}
    for label, ops in views.items():
        util, view = label.split("/")
        u = utils.setdefault(util, {"views": {}})
        u["views"][view.split(":")[1]] = {op: view_figures(s) for op, s in ops.items()}
    # Per table utility: its slowest view for each operation.
    for u in utils.values():
        for op in OPS:
            per_view = [v[op] for v in u["views"].values()]
            u[op + "PerSecond"] = min(v["perSecond"] for v in per_view)
            u[op + "FloorRatio"] = max(v["floorRatio"] for v in per_view)
            u["allocsPer" + op.capitalize()] = max(v["allocsPerItem"] for v in per_view)
            counted = [v["instructionsPerEntry"] for v in per_view if "instructionsPerEntry" in v]
            if counted:
                u[op + "InstructionsPerEntry"] = max(counted)
                u[op + "InstructionRatio"] = max(v["instructionRatio"] for v in per_view
                                                 if "instructionRatio" in v)
    return utils, memory, scaling, mixed


def view_figures(s):
    """The figures of one view and operation: processSwEntry, the floor with its read-back
    (floor) and without it (floorNoFind), in time and in instructions."""
    util, floor, bare = s["processSwEntry"], s["floor"], s.get("floor-nofind")
    out = {"perSecond": util["perSecond"], "floorPerSecond": floor["perSecond"],
           "floorRatio": floor["perSecond"] / util["perSecond"], "allocsPerItem": s["allocs"],
           "spread": util["spread"], "floorSpread": floor["spread"]}
    if bare is not None:
        out.update({"floorNoFindPerSecond": bare["perSecond"], "floorNoFindSpread": bare["spread"],
                    "floorNoFindRatio": bare["perSecond"] / util["perSecond"]})
    if util["instructions"] is not None:
        out["instructionsPerEntry"] = util["instructions"]
        if floor["instructions"]:
            out["floorInstructionsPerEntry"] = floor["instructions"]
            out["instructionRatio"] = util["instructions"] / floor["instructions"]
        if bare is not None and bare["instructions"]:
            out["floorNoFindInstructionsPerEntry"] = bare["instructions"]
            out["instructionRatioNoFind"] = util["instructions"] / bare["instructions"]
    return out


def machine():
    """The machine and its load as the figures were taken."""
    model = ""
    try:
        with open("/proc/cpuinfo") as f:
            model = next((line.split(":", 1)[1].strip() for line in f
                          if line.startswith("model name")), "")
    except OSError:
        pass
    with open("/proc/loadavg") as f:
        loadavg = " ".join(f.read().split()[:3])
    return {"cpu": model, "cores": os.cpu_count(), "kernel": platform.release(),
            "loadavg": loadavg, "date": time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime())}


def scaling_svg(scaling, curve):
    """Two charts: ns per entry against keys (processSwEntry solid, the floor dashed, one colour
    per operation), and bytes per stored entry against entries with the high-water mark."""
    series = []
    for op in OPS:
        for kind, style in (("processSwEntry", "line"), ("floor", "dashed")):
            pts = [(int(n), ops[op][kind]["nsPerEntry"]) for n, ops in scaling.items()
                   if kind in ops.get(op, {})]
            if pts:
                series.append((op + (" floor" if kind == "floor" else ""), pts, style))
    time_chart = svgplot.chart("Cost per entry against the keys held (median of %d)" % REPETITIONS,
                               "keys in the table", "ns per entry", series)
    points = curve.get("points", []) if curve else []
    # From 1K entries on: below, the first slot arrays make a few entries look large.
    points = [p for p in points if p[0] >= 1024]
    bytes_series = [("live bytes / entry", [(n, b / n) for n, b, _ in points], "line"),
                    ("peak during growth", [(n, p / n) for n, b, p in points if p > b], "dots")]
    memory_chart = svgplot.chart("Heap bytes per stored entry (%s)" % (curve or {}).get("case", ""),
                                 "entries stored", "bytes per entry", bytes_series)
    return svgplot.stack([time_chart, memory_chart])


def sawtooth(points):
    """The lowest and highest live bytes per entry past 1,000 entries, with their sizes."""
    per_entry = [(b / n, n) for n, b, _ in points if n >= 1000]
    if not per_entry:
        return None
    return min(per_entry), max(per_entry), max(((p / n, n) for n, _, p in points if n >= 1000))


def mark(ok):
    return "ok" if ok else "MISSED"


def print_views(utils):
    """Every view and operation: time (median, spread) and instructions beside the floor's."""
    print("%-30s %-6s %8s %5s %8s %6s %6s %7s %7s %6s %6s" % (
        "table utility/view", "op", "ns", "+-%", "floor ns", "xfl", "xfl0", "instr", "floor",
        "ixfl", "ixfl0"))
    for name, u in utils.items():
        for view, ops in u["views"].items():
            for op in OPS:
                v = ops[op]
                instr = v.get("instructionsPerEntry")
                print("%-30s %-6s %8.1f %5.1f %8.1f %6.2f %6s %7s %7s %6s %6s" % (
                    "%s/%s" % (name, view), op, 1e9 / v["perSecond"], 50 * v["spread"],
                    1e9 / v["floorPerSecond"], v["floorRatio"],
                    "%.2f" % v["floorNoFindRatio"] if "floorNoFindRatio" in v else "-",
                    "%.0f" % instr if instr is not None else "-",
                    "%.0f" % v["floorInstructionsPerEntry"]
                    if "floorInstructionsPerEntry" in v else "-",
                    "%.2f" % v["instructionRatio"] if "instructionRatio" in v else "-",
                    "%.2f" % v["instructionRatioNoFind"] if "instructionRatioNoFind" in v
                    else "-"))
    print("(ns: median time per entry, +-%%: half the spread of the %d repetitions; floor: the "
          "floor with its read-back; xfl, xfl0: time over the floor's with and without the "
          "read-back; instr, ixfl, ixfl0: the same in instructions per entry, callgrind)"
          % REPETITIONS)


def print_instructions(counts):
    """The instruction counts alone, as `make bench-instructions` shows them."""
    if not counts:
        return 1
    print("%-44s %8s %8s %8s %6s %6s" % ("benchmark", "instr", "floor", "floor0", "ixfl",
                                         "ixfl0"))
    for name, count in sorted(counts.items()):
        if name.endswith("/processSwEntry"):
            base = name[:-len("processSwEntry")]
            floor, bare = counts.get(base + "floor"), counts.get(base + "floor-nofind")
            print("%-44s %8.0f %8s %8s %6s %6s" % (
                base[:-1], count, "%.0f" % floor if floor else "-", "%.0f" % bare if bare else "-",
                "%.2f" % (count / floor) if floor else "-", "%.2f" % (count / bare) if bare else "-"))
    print("(instructions per entry of one pass, callgrind; floor0: the floor without its "
          "read-back; ixfl, ixfl0: the ratios)")
    return 0


def print_scaling(scaling, curve):
    print("%-10s %-6s %10s %5s %10s %5s %6s" % ("keys", "op", "ns", "+-%", "floor ns", "+-%",
                                                "xfl"))
    for n in sorted(scaling, key=int):
        for op in OPS:
            s = scaling[n].get(op, {})
            if "processSwEntry" not in s or "floor" not in s:
                continue
            u, f = s["processSwEntry"], s["floor"]
            print("%-10s %-6s %10.1f %5.1f %10.1f %5.1f %6.2f" % (
                svgplot.label(int(n)), op, u["nsPerEntry"], 50 * u["spread"], f["nsPerEntry"],
                50 * f["spread"], u["nsPerEntry"] / f["nsPerEntry"]))
    saw = sawtooth(curve.get("points", [])) if curve else None
    if saw:
        (lo, lo_n), (hi, hi_n), (peak, peak_n) = saw
        print("bytes per stored entry: %.1f (at %d entries) to %.1f (at %d); peak during growth "
              "%.1f (at %d)" % (lo, lo_n, hi, hi_n, peak, peak_n))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build")
    parser.add_argument("--quick", action="store_true", help="short runs: CI keeps them running")
    parser.add_argument("--no-instructions", action="store_true",
                        help="no callgrind run (it is never made with --quick)")
    parser.add_argument("--instructions-only", action="store_true",
                        help="only the callgrind run: instructions per entry beside the floor's")
    parser.add_argument("--min-time", help="seconds of each repetition, at least (default 0.1; "
                        "0.01 with --quick)")
    parser.add_argument("--plugin", help="measure this build of the plug-in (e.g. an earlier one, "
                        "for a before/after on one machine) with this build's benchmarks")
    parser.add_argument("--from-last-run", action="store_true",
                        help="summarise the last run's outputs in BUILD again (benchmarks, "
                        "callgrind dumps, memory curve); only the replay is timed anew")
    args = parser.parse_args()
    global PLUGIN
    PLUGIN = os.path.abspath(args.plugin) if args.plugin else None
    if args.instructions_only:
        return print_instructions(run_instructions(args.build, args.quick))

    machine_path = os.path.join(args.build, "bench-machine.json")
    if args.from_last_run:
        with open(os.path.join(args.build, "bench-raw.json")) as f:
            raw = json.load(f)
        instructions = last_instructions(args.build)
        with open(os.path.join(args.build, "bench-memory-curve.json")) as f:
            curve = json.load(f)
        with open(machine_path) as f:
            load = json.load(f)
    else:
        load = {"start": machine()}
        raw = run_bench(args.build, args.quick, args.min_time)
        instructions = {} if args.quick or args.no_instructions else \
            run_instructions(args.build, args.quick)
        curve = run_memory_curve(args.build, 100_000 if args.quick else 1 << 24)
        load["end"] = machine()
        with open(machine_path, "w") as f:
            json.dump(load, f, indent=2)
    utils, memory, scaling, mixed = summarise(raw, instructions)

    lines = 20_000 if args.quick else 1_000_000
    counted = 0 if args.quick or args.no_instructions or not shutil.which("valgrind") else 25_000
    replay, note = time_replay(args.build, lines, 3, counted)
    replay = replay or {"lines": lines, "note": note}

    print()
    print("%-32s %10s %10s %10s %6s %6s %6s %8s %8s %8s" % (
        "table utility (slowest view)", "adds/s", "updates/s", "deletes/s", "xfl+", "xfl~",
        "xfl-", "alloc+", "alloc~", "alloc-"))
    for name, u in utils.items():
        print("%-32s %9.2fM %9.2fM %9.2fM %6.2f %6.2f %6.2f %8.4f %8.4f %8.4f" % (
            name, u["addPerSecond"] / 1e6, u["updatePerSecond"] / 1e6,
            u["deletePerSecond"] / 1e6, u["addFloorRatio"], u["updateFloorRatio"],
            u["deleteFloorRatio"], u["allocsPerAdd"], u["allocsPerUpdate"],
            u["allocsPerDelete"]))
    print("(xfl: processSwEntry time over floor time for add +, update ~, delete -; "
          "alloc: heap allocations per entry; medians of %d repetitions)" % REPETITIONS)
    print()
    print_views(utils)
    print()
    if mixed:
        print("mixed stream: %d keys, %d software tables, 4 FAPs and the null FAP: %.1f ns per entry (+-%.1f%%), "
              "%.2f processSwEntry calls per entry, %.1f ns per call%s" % (
                  mixed["keys"], mixed["tables"], mixed["nsPerEntry"], 50 * mixed["spread"],
                  mixed["callsPerEntry"], mixed["nsPerCall"],
                  ", %.0f instructions per entry" % mixed["instructionsPerEntry"]
                  if "instructionsPerEntry" in mixed else ""))
        print()
    print_scaling(scaling, curve)
    plot = os.path.join(args.build, "bench-scaling.svg")
    with open(plot, "w") as f:
        f.write(scaling_svg(scaling, curve))
    print()

    worst = max(max(u[op + "FloorRatio"] for op in OPS) for u in utils.values())
    outrif = utils.get("EedbOutrifUtil", {}).get("addPerSecond", 0.0)
    no_alloc = all(u["allocsPerUpdate"] == 0 and u["allocsPerDelete"] == 0 for u in utils.values())
    add_alloc = max(u["allocsPerAdd"] for u in utils.values())
    print("%-44s %12.2f   target <= %.1f: %s" % ("worst floor ratio", worst, MAX_FLOOR_RATIO,
                                                 mark(worst <= MAX_FLOOR_RATIO)))
    large = [s[op]["processSwEntry"]["nsPerEntry"] / s[op]["floor"]["nsPerEntry"]
             for n, s in scaling.items() if int(n) >= 1 << 20
             for op in OPS if "processSwEntry" in s.get(op, {}) and "floor" in s.get(op, {})]
    if large:
        print("%-44s %12.2f   target <= %.1f: %s" % (
            "worst floor ratio at 1M keys and more", max(large), MAX_SCALING_FLOOR_RATIO,
            mark(max(large) <= MAX_SCALING_FLOOR_RATIO)))
    if instructions:
        worst_i = max(u.get(op + "InstructionRatio", 0) for u in utils.values() for op in OPS)
        print("%-44s %12.2f" % ("worst floor ratio in instructions", worst_i))
    print("%-44s %11.2fM   target >= %.0fM: %s" % ("Out-RIF adds per second", outrif / 1e6,
                                                  MIN_OUTRIF_ADDS / 1e6,
                                                  mark(outrif >= MIN_OUTRIF_ADDS)))
    print("%-44s %12s   target none: %s" % ("allocations on update and delete",
                                            "none" if no_alloc else "some", mark(no_alloc)))
    print("%-44s %12.5f   (the shadow store's growth)" % ("allocations per add, at most", add_alloc))
    if memory:
        b = memory["bytesPerEntry"]
        print("%-44s %12.1f   target <= %.0f: %s (floor map %.1f)" % (
            "bytes per stored entry at %d entries" % memory["entries"], b, MAX_BYTES_PER_ENTRY,
            mark(b <= MAX_BYTES_PER_ENTRY), memory["floorBytesPerEntry"]))
    if "streams" in replay:
        for stream, figures in replay["streams"].items():
            for name, target in (("--quiet", MAX_REPLAY_QUIET_ANCHOR),
                                 ("--format json", MAX_REPLAY_JSON_ANCHOR)):
                times = figures[name]["timesAnchor"]
                counts = figures[name].get("instructionsTimesAnchor")
                print("%-44s %12.2f   target <= %.1f: %s%s" % (
                    "eedb-replay %s, %s, x anchor" % (name, stream), times, target,
                    mark(times <= target),
                    " (instructions %.0f per line, %.2f x anchor)" % (
                        figures[name]["instructionsPerLine"], counts) if counts else ""))
        print("(processor time over the parse-only anchor's, medians of %d interleaved runs of "
              "%d lines: bench/replay_speed.sh)" % (replay["runs"], replay["lines"]))
    else:
        print("eedb-replay: not timed: %s" % replay["note"])
    summary = {"quick": args.quick, "utils": utils, "memory": memory, "replay": replay,
               "repetitions": REPETITIONS, "mixed": mixed, "scaling": scaling,
               "memoryCurve": curve, "machine": load}
    path = os.path.join(args.build, "bench-summary.json")
    with open(path, "w") as f:
        json.dump(summary, f, indent=2)
    print("\nmachine: %s, %s cores, Linux %s; load average %s at the start (%s), %s at the end "
          "(%s)" % (load["start"]["cpu"], load["start"]["cores"], load["start"]["kernel"],
                    load["start"]["loadavg"], load["start"]["date"], load["end"]["loadavg"],
                    load["end"]["date"]))
    print("written:", path, "and", plot)
    return 0


if __name__ == "__main__":
    sys.exit(main())
