#!/usr/bin/env python3
"""Runs the benchmarks of a Release build and prints one summary of all figures.

  bench/run.py BUILD_DIR [--quick] [--no-instructions]

eedb-bench gives processSwEntry and the floor (with and without its read-back) per table utility,
view and operation, the mixed stream, the scaling from 1K to 16M keys, the heap allocations per
entry and the bytes per stored shadow entry; every time is the median of REPETITIONS runs, shown
with its spread. Under callgrind, one pass of each gives the instructions per entry, which do not
move with the machine's load. eedb-replay is timed on a generated stream of mixed tables with
--quiet and with --format json. The figures go to standard output, to BUILD_DIR/bench-summary.json
and, as a plot of the scaling, to BUILD_DIR/bench-scaling.svg. Nothing is asserted: the targets
are shown beside the figures.

--quick (CI) runs briefly on small batches, stops the scaling at 1M keys and counts no
instructions; --no-instructions leaves the callgrind run out of a full run.
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
MAX_SCALING_FLOOR_RATIO = 2.0  # Out-RIF at 1M keys and more
MIN_OUTRIF_ADDS = 5e6
MAX_BYTES_PER_ENTRY = 64.0
MIN_REPLAY_QUIET = 2e6
MIN_REPLAY_JSON = 1e6

# The plug-in measured (--plugin): the build's own when None.
PLUGIN = None

OPS = ("add", "update", "delete")
REPETITIONS = 5
SCALING_KEYS = [1 << 10, 1 << 16, 1 << 20, 1 << 22, 1 << 24]
QUICK_SCALING_KEYS = [1 << 10, 1 << 16, 1 << 20]


# ---- the replay stream ----

def mac(i):
    return "02:00:%02x:%02x:%02x:%02x" % (i >> 24 & 255, i >> 16 & 255, i >> 8 & 255, i & 255)


def ipv4(i):
    return "10.%d.%d.%d" % (i >> 16 & 255, i >> 8 & 255, i & 255)


def ipv6(i):
    return "2001:db8::%x:%x" % (i >> 16 & 0xFFFF, i & 0xFFFF)


# One generator per table: (table, entry) for the i-th line of that table, key k.
def outrif(i, k):
    return "EedbOutrif", {"key": k, "viewType": 1, "fodo": k & 0x7FFF, "forwardQosModel": i & 1,
                          "remarkProfile": i & 31, "mtuProfile": i & 15}


def mpls(i, k):
    e = {"key": k, "viewType": 1 + i % 11, "nextOutlifPointer": k & 0xFFFFF,
         "statObjectId": k & 0xFFFF, "ttlMode": i & 1, "encapQosModel": i & 3}
    for n in range(1, 7):
        e["label%d" % n] = (k + n) & 0xFFFFF
    return "EedbMplsTunnelTable", e


def arp(i, k):
    return "EedbArpTable", {"key": k, "viewType": 1 + i % 5, "l2Mac": mac(k),
                            "vlanEditVid1": k & 0xFFF, "fodo": k & 0xFF, "mtuProfile": i & 7,
                            "statObjectId": k & 0xFFFF}


def iptunnel(i, k):
    view = i % 4
    return "EedbIpTunnel", {"key": {"outlif": k, "dipOutlif": k}, "viewType": view,
                            "dip": ipv4(k) if view < 2 else ipv6(k), "fodo": k & 0x3FF,
                            "nextOutlifPointer": k & 0xFFFFF, "remarkProfile": i & 31}


def vxlan(i, k):
    return "EedbVxlanTunnel", {"key": k, "viewType": 0, "dip": ipv4(k), "nextOutlif": k,
                               "esemNameSpace": i & 15}


def subintf(i, k):
    return "EedbSubIntfOutAcTable", {"key": k, "viewType": 1, "vlanEditVid1": k & 0xFFF,
                                     "vlanEditVid2": (k + 1) & 0xFFF, "vlanEditProfile": i & 7}


def tapagg(i, k):
    return "EedbTapAggTable", {"key": k, "viewType": 1 + i % 4, "destMac": mac(k),
                               "srcMac": mac(k + 1), "vlanEditVid1": k & 0xFFF}


def sflow(i, k):
    return "EedbSflowTable", {"key": {"outlif": k, "dataOutlif": k, "word3": 0}, "viewType": 0,
                              "headerSampleSamplingRate": 1000 + (k & 0xFF)}


def stat(i, k):
    return "EedbStatTable", {"key": k, "viewType": 1, "statObjectId": k & 0xFFFF,
                             "nextOutlifPointer": k & 0xFFFFF}


def srv6(i, k):
    view = i % 3
    data = [("etpsSrv6150", {"nofSids": 1 + (i & 3), "srhRoutingType": 4}),
            ("etpsDataSid150", {"sid": ipv6(k)}),
            ("etpsIpv6TunnelRaw150", {"fodo": k & 0x3FF, "remarkProfile": i & 31})][view]
    return "EedbSrv6", {"key": k, "viewType": view, data[0]: data[1]}


def agmem(i, k):
    return "EedbAgMemTlm", {"key": k & 0xFFFF, "agFieldTlm": i & 1}


def databylocal(i, k):
    return "EedbDataByLocalOutlifMsbs", {"key": k & 0xFFFF, "eesIsDataEntryapped": i & 1}


# The agent's start-up mix: mostly ARP, tunnels and out-LIFs.
MIX = [(outrif, 6), (arp, 6), (mpls, 3), (iptunnel, 3), (vxlan, 2), (subintf, 2), (tapagg, 1),
       (sflow, 1), (stat, 1), (srv6, 1), (agmem, 1), (databylocal, 1)]


def write_stream(path, lines):
    order = [gen for gen, weight in MIX for _ in range(weight)]
    with open(path, "w") as out:
        for i in range(lines):
            table, entry = order[i % len(order)](i // len(order), (i * 2654435761) & 0xFFFFF)
            unit = '{"fap": %d, "instance": 0}' % (i >> 3 & 3)
            delete = "true" if i % 8 == 7 else "false"
            out.write('{"table": "%s", "unit": %s, "delete": %s, "entry": %s}\n'
                      % (table, unit, delete, json.dumps(entry, separators=(",", ":"))))


def time_replay(build, stream, lines, args):
    tool = os.path.join(build, "tools", "eedb-replay", "eedb-replay")
    plugin = PLUGIN or os.path.join(build, "src", "libeedb26.so")
    if not os.access(tool, os.X_OK):
        return None, "no eedb-replay in the build"
    cmd = [tool, "--plugin", plugin, "--faps", "0-3"] + args + [stream]
    start = time.perf_counter()
    with open(os.devnull, "w") as sink:
        done = subprocess.run(cmd, stdout=sink, stderr=subprocess.PIPE, text=True)
    seconds = time.perf_counter() - start
    if done.returncode not in (0, 1):
        return None, "exit status %d: %s" % (done.returncode, done.stderr.strip()[:200])
    note = "" if done.returncode == 0 else "some lines were rejected or raised"
    return lines / seconds, note


# ---- the benchmark results ----

def bench_exe(build):
    return os.path.join(build, "bench", "eedb-bench")


def bench_args(quick):
    plugin = ["--plugin=" + PLUGIN] if PLUGIN else []
    if quick:
        return plugin + ["--keys=4096", "--memory-entries=100000", "--mixed-keys=100000",
                "--scaling-keys=" + ",".join(map(str, QUICK_SCALING_KEYS))]
    return plugin + ["--scaling-keys=" + ",".join(map(str, SCALING_KEYS))]


def run_bench(build, quick, min_time=None):
    raw = os.path.join(build, "bench-raw.json")
    cmd = [bench_exe(build), "--benchmark_out=" + raw, "--benchmark_out_format=json",
           "--benchmark_repetitions=%d" % REPETITIONS,
           "--benchmark_min_time=%s" % (min_time or ("0.01" if quick else "0.1"))] + \
        bench_args(quick)
    print("running:", " ".join(cmd), flush=True)
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
    with open(raw) as f:
        return json.load(f)


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
    uptime = subprocess.run(["uptime"], capture_output=True, text=True).stdout.strip()
    return {"cpu": model, "cores": os.cpu_count(), "kernel": platform.release(),
            "uptime": uptime, "date": time.strftime("%Y-%m-%d %H:%M UTC", time.gmtime())}


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

    lines = 100_000 if args.quick else 1_000_000
    stream = os.path.join(args.build, "bench-replay.jsonl")
    write_stream(stream, lines)
    replay = {"lines": lines}
    for name, flags in (("quiet", ["--quiet"]), ("json", ["--format", "json"])):
        rate_, note = time_replay(args.build, stream, lines, flags)
        replay[name + "LinesPerSecond"] = rate_
        if note:
            replay[name + "Note"] = note

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
        print("mixed stream: %d keys, %d software tables, 4 FAPs: %.1f ns per entry (+-%.1f%%), "
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
    for name, target in (("quiet", MIN_REPLAY_QUIET), ("json", MIN_REPLAY_JSON)):
        rate_ = replay[name + "LinesPerSecond"]
        label = "eedb-replay %s lines per second (%d lines)" % (
            "--quiet" if name == "quiet" else "--format json", lines)
        if rate_ is None:
            print("%-58s %12s   %s" % (label, "-", replay.get(name + "Note", "")))
        else:
            print("%-58s %11.0fk   target >= %.0fk: %s %s" % (
                label, rate_ / 1e3, target / 1e3, mark(rate_ >= target),
                replay.get(name + "Note", "")))

    summary = {"quick": args.quick, "utils": utils, "memory": memory, "replay": replay,
               "repetitions": REPETITIONS, "mixed": mixed, "scaling": scaling,
               "memoryCurve": curve, "machine": load}
    path = os.path.join(args.build, "bench-summary.json")
    with open(path, "w") as f:
        json.dump(summary, f, indent=2)
    print("\nmachine: %s, %s cores; benchmarks from %s to %s" % (
        load["start"]["cpu"], load["start"]["cores"], load["start"]["uptime"],
        load["end"]["uptime"]))
    print("written:", path, "and", plot)
    return 0


if __name__ == "__main__":
    sys.exit(main())
