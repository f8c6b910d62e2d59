#!/usr/bin/env python3
"""Runs the benchmarks of a Release build and prints one summary of all figures.

  bench/run.py BUILD_DIR [--quick]

eedb-bench gives processSwEntry and the floor per table utility, view and operation, the heap
allocations per entry and the bytes per stored shadow entry; eedb-replay is timed on a generated
stream of mixed tables with --quiet and with --format json. The figures go to standard output as
one table and to BUILD_DIR/bench-summary.json. Nothing is asserted: the targets are shown beside
the figures.
"""

import argparse
import json
import os
import subprocess
import sys
import time

# Targets on the two-core build machine.
MAX_FLOOR_RATIO = 3.0
MIN_OUTRIF_ADDS = 5e6
MAX_BYTES_PER_ENTRY = 64.0
MIN_REPLAY_QUIET = 1e6
MIN_REPLAY_JSON = 400e3

OPS = ("add", "update", "delete")


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
    plugin = os.path.join(build, "src", "libeedb26.so")
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

def run_bench(build, quick):
    exe = os.path.join(build, "bench", "eedb-bench")
    raw = os.path.join(build, "bench-raw.json")
    cmd = [exe, "--benchmark_out=" + raw, "--benchmark_out_format=json"]
    if quick:
        cmd += ["--benchmark_min_time=0.01", "--keys=4096", "--memory-entries=100000"]
    else:
        cmd += ["--benchmark_min_time=0.5"]
    print("running:", " ".join(cmd), flush=True)
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
    with open(raw) as f:
        return json.load(f)


def summarise(raw):
    views = {}   # "Util/view:N" -> op -> {"processSwEntry": ips, "floor": ips, "allocs": n}
    memory = {}
    for b in raw["benchmarks"]:
        parts = b["name"].split("/")
        if parts[0] == "memory":
            memory = {"bytesPerEntry": b["bytes_per_entry"], "entries": int(b["entries"]),
                      "floorBytesPerEntry": b["floor_bytes_per_entry"]}
            continue
        label, op, kind = "/".join(parts[:2]), parts[2], parts[3]
        slot = views.setdefault(label, {}).setdefault(op, {})
        slot[kind] = b["items_per_second"]
        if kind == "processSwEntry":
            slot["allocs"] = b["allocs_per_item"]
    utils = {}
    for label, ops in views.items():
        util, view = label.split("/")
        u = utils.setdefault(util, {"views": {}})
        u["views"][view.split(":")[1]] = {
            op: {"perSecond": s["processSwEntry"], "floorPerSecond": s["floor"],
                 "floorRatio": s["floor"] / s["processSwEntry"], "allocsPerItem": s["allocs"]}
            for op, s in ops.items()}
    # Per table utility: its slowest view for each operation.
    for u in utils.values():
        for op in OPS:
            per_view = [v[op] for v in u["views"].values()]
            u[op + "PerSecond"] = min(v["perSecond"] for v in per_view)
            u[op + "FloorRatio"] = max(v["floorRatio"] for v in per_view)
            u["allocsPer" + op.capitalize()] = max(v["allocsPerItem"] for v in per_view)
    return utils, memory


def mark(ok):
    return "ok" if ok else "MISSED"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build")
    parser.add_argument("--quick", action="store_true", help="short runs: CI keeps them running")
    args = parser.parse_args()

    utils, memory = summarise(run_bench(args.build, args.quick))

    lines = 100_000 if args.quick else 1_000_000
    stream = os.path.join(args.build, "bench-replay.jsonl")
    write_stream(stream, lines)
    replay = {"lines": lines}
    for name, flags in (("quiet", ["--quiet"]), ("json", ["--format", "json"])):
        rate, note = time_replay(args.build, stream, lines, flags)
        replay[name + "LinesPerSecond"] = rate
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
          "alloc: heap allocations per entry)")
    print()

    worst = max(max(u[op + "FloorRatio"] for op in OPS) for u in utils.values())
    outrif = utils.get("EedbOutrifUtil", {}).get("addPerSecond", 0.0)
    no_alloc = all(u["allocsPerUpdate"] == 0 and u["allocsPerDelete"] == 0 for u in utils.values())
    add_alloc = max(u["allocsPerAdd"] for u in utils.values())
    print("%-44s %12.2f   target <= %.0f: %s" % ("worst floor ratio", worst, MAX_FLOOR_RATIO,
                                                 mark(worst <= MAX_FLOOR_RATIO)))
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
        rate = replay[name + "LinesPerSecond"]
        label = "eedb-replay %s lines per second (%d lines)" % (
            "--quiet" if name == "quiet" else "--format json", lines)
        if rate is None:
            print("%-58s %12s   %s" % (label, "-", replay.get(name + "Note", "")))
        else:
            print("%-58s %11.0fk   target >= %.0fk: %s %s" % (
                label, rate / 1e3, target / 1e3, mark(rate >= target),
                replay.get(name + "Note", "")))

    summary = {"quick": args.quick, "utils": utils, "memory": memory, "replay": replay}
    path = os.path.join(args.build, "bench-summary.json")
    with open(path, "w") as f:
        json.dump(summary, f, indent=2)
    print("\nwritten:", path)
    return 0


if __name__ == "__main__":
    sys.exit(main())
