#!/bin/sh
# Replay speed on two generated streams, each timed with --quiet and with --format json:
#  - outrif: one million Out-RIF lines (adds over 65536 keys and four FAPs, every eighth line a
#    delete);
#  - mixed: one million lines of all twelve software tables over four FAPs, every view of every
#    table (the example lines of `eedb-replay --describe`), adds, updates and deletes
#    interleaved as a live system sends them: keys are added, updated with new values or another
#    view, deleted with the entry last written, and added again.
# Both streams replay without a failure (exit status 0), so every line does the full work.
# The yardstick is eedb-parse-anchor (bench/ParseAnchor.cc), which parses the same lines with
# simdjson's On-Demand API and touches every value: the replay's processor time (user + system,
# not wall time; the median of RUNS runs, the three programs interleaved) is shown as a multiple
# of the anchor's. The build is a Release one (`make bench` makes build-release).
#
#   bench/replay_speed.sh [BUILD_DIR] [LINES] [RUNS]      (defaults: build-release, 1000000, 3)
#
# REPLAY_SPEED_JSON=FILE also writes the figures to FILE as JSON (bench/run.py reads them);
# REPLAY_SPEED_PLUGIN=PATH replays with another build of the plug-in (bench/run.py --plugin).
# REPLAY_SPEED_INSTRUCTIONS=N also counts instructions per line under callgrind (they do not move
# with the machine's load): each program runs on the first N and the first 2N lines of each
# stream, and (I(2N) - I(N)) / N leaves out what a run pays once (start-up, loading the plug-in,
# the lossy check's probing of each view).
# REPLAY_SPEED_KEYS=N gives the mixed stream N keys per FAP (default: LINES / 16), e.g. 1024 for
# a shadow that stays in the cache.
# REPLAY_SPEED_KEEP=DIR keeps the streams (outrif.jsonl, mixed.jsonl) in DIR, e.g. for a
# callgrind profile of a shorter run: REPLAY_SPEED_KEEP=/tmp/s bench/replay_speed.sh build 50000
set -eu

build=${1:-build-release}
lines=${2:-1000000}
runs=${3:-3}
tool=$build/tools/eedb-replay/eedb-replay
plugin=${REPLAY_SPEED_PLUGIN:-$build/src/libeedb26.so}
anchor=$build/bench/eedb-parse-anchor
for program in "$tool" "$anchor"; do
  [ -x "$program" ] || { echo "no $program: build first (make bench)" >&2; exit 2; }
done

if [ -n "${REPLAY_SPEED_KEEP:-}" ]; then
  work=$REPLAY_SPEED_KEEP
  mkdir -p "$work"
else
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT INT TERM
fi

awk -v n="$lines" 'BEGIN {
  for (i = 0; i < n; i++) {
    printf "{\"table\": \"EedbOutrif\", \"unit\": {\"fap\": %d, \"instance\": 0}, \"delete\": %s, ", \
      i % 4, (i % 8 == 7) ? "true" : "false"
    printf "\"entry\": {\"key\": %d, \"viewType\": 1, \"fodo\": %d, \"forwardQosModel\": %d, ", \
      i % 65536, i % 32768, i % 2
    printf "\"remarkProfile\": %d, \"mtuProfile\": %d}}\n", i % 32, i % 16
  }
}' > "$work/outrif.jsonl"

# What every table takes, as the tool describes it: its fields, the rule of every field in every
# view of every table utility, and one example line per view.
for table in $("$tool" --plugin "$plugin" --list-tables --format json |
  python3 -c 'import json, sys; print(" ".join(json.loads(l)["table"] for l in sys.stdin))'); do
  "$tool" --plugin "$plugin" --describe "$table" --format json
  echo
done > "$work/describe.jsonl"

python3 - "$work/describe.jsonl" "$lines" "${REPLAY_SPEED_KEYS:-0}" > "$work/mixed.jsonl" <<'EOF'
import json
import random
import sys

describe_file, lines, keys = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rng = random.Random(26)

# Share of the lines per table: the busy tables of a router (next hops, sub-interfaces,
# router interfaces, tunnels) first.
WEIGHT = {"EedbArpTable": 20, "EedbOutrif": 14, "EedbSubIntfOutAcTable": 14,
          "EedbIpTunnel": 10, "EedbMplsTunnelTable": 10, "EedbVxlanTunnel": 6, "EedbSrv6": 5,
          "EedbTapAggTable": 5, "EedbStatTable": 5, "EedbSflowTable": 4, "EedbAgMemTlm": 4,
          "EedbDataByLocalOutlifMsbs": 3}
FAPS = 4
# Per FAP, shared among the tables by weight: 65536 for 1M lines, unless REPLAY_SPEED_KEYS says.
KEYS = keys or max(64, lines // 16)
KEY_BLOCK = 0x10000  # every key field of every table takes its keys from a block of its own

tables = [json.loads(text) for text in open(describe_file) if text.strip()]
assert sorted(t["table"] for t in tables) == sorted(WEIGHT), "a table without a weight"
total_weight = sum(WEIGHT.values())


def varied_fields(table, view):
    """Fields that every table utility of the view copies whole: any value of the field's
    range translates, so updates may change them."""
    rules = {}
    for util in table["utils"]:
        for v in util["views"]:
            if v["view"] != view or v["error"] is not None:
                continue
            for rule in v["rules"]:
                rules.setdefault(rule["field"], []).append(rule)
    limits = {f["field"]: f for f in table["fields"]}
    varied = []
    for name, found in rules.items():
        if name.startswith("key") or name not in limits:
            continue
        if limits[name]["kind"] not in ("number", "bounded"):
            continue
        if all(r["rule"] in ("copy", "unused") and r["max"] is None and r["lowBits"] == 0
               for r in found) and any(r["rule"] == "copy" for r in found):
            varied.append((name, limits[name]["max"]))
    return varied


class Table:
    def __init__(self, table, block):
        self.name = table["table"]
        self.examples = [e["entry"] for e in table["examples"]]
        self.varied = [varied_fields(table, e.get("viewType")) for e in self.examples]
        # The key fields, each with a block of keys of its own.
        key = self.examples[0]["key"]
        self.key_fields = sorted(key) if isinstance(key, dict) else [None]
        self.blocks = list(range(block, block + len(self.key_fields)))
        self.keys = max(1, KEYS * WEIGHT[self.name] // total_weight)
        self.live = {}  # (fap, key index) -> entry last written

    def key(self, index):
        values = [b * KEY_BLOCK + index for b in self.blocks]
        if self.key_fields == [None]:
            return values[0]
        return dict(zip(self.key_fields, values))

    def entry(self, index):
        view = rng.randrange(len(self.examples))
        entry = dict(self.examples[view])
        entry["key"] = self.key(index)
        for name, top in rng.sample(self.varied[view], min(3, len(self.varied[view]))):
            value = rng.randint(0, min(top, 0xFFFFF))
            if "." in name:  # a field of the view's own data
                data, field = name.split(".")
                entry[data] = dict(entry[data], **{field: value})
            else:
                entry[name] = value
        return entry


# Direct tables hold one bit per key of a small range: their keys start at 0 in their own table.
mixed = []
block = 1
for t in sorted(tables, key=lambda t: t["table"]):
    table = Table(t, block)
    if table.name in ("EedbAgMemTlm", "EedbDataByLocalOutlifMsbs"):
        table.blocks = [0]
    else:
        block += len(table.blocks)
    mixed.append(table)
assert block * KEY_BLOCK <= 1 << 20, "keys beyond 20 bits"
weights = [WEIGHT[t.name] for t in mixed]

out = sys.stdout
dumps = json.JSONEncoder(separators=(", ", ": ")).encode
for _ in range(lines):
    table = rng.choices(mixed, weights)[0]
    fap = rng.randrange(FAPS)
    index = rng.randrange(table.keys)
    entry = table.live.get((fap, index))
    delete = entry is not None and rng.random() < 0.3
    if delete:
        del table.live[(fap, index)]
    else:
        entry = table.entry(index)  # an add, or an update of a live key
        table.live[(fap, index)] = entry
    out.write('{"table": "%s", "unit": {"fap": %d, "instance": 0}, "delete": %s, "entry": %s}\n'
              % (table.name, fap, "true" if delete else "false", dumps(entry)))
EOF

for stream in outrif mixed; do
  echo "$stream input: $(wc -c < "$work/$stream.jsonl" | awk '{ printf "%.1f MB", $1 / 1e6 }'), $lines lines"
done

# The replay and the anchor in turn on each stream, RUNS times; every run's processor time (user
# plus system, of the process alone) and wall time; the medians, and the replay's processor time
# as a multiple of the anchor's.
python3 - "$work" "$lines" "$runs" "$anchor" "$tool" "$plugin" "${REPLAY_SPEED_JSON:-}" \
  "${REPLAY_SPEED_INSTRUCTIONS:-0}" <<'EOF'
import json
import os
import statistics
import subprocess
import sys
import time

work, lines, runs, anchor, tool, plugin, json_out, counted = sys.argv[1:]
lines, runs = int(lines), int(runs)
counted = min(int(counted), lines // 2)
replay = [tool, "--plugin", plugin, "--faps", "0-3"]
COMMANDS = [("anchor", [anchor]), ("--quiet", replay + ["--quiet"]),
            ("--format json", replay + ["--format", "json"])]


def timed(cmd, stream):
    """(processor seconds, wall seconds) of one run; its output goes to a file, as a user's
    would."""
    with open(os.path.join(work, "out"), "w") as out:
        start = time.perf_counter()
        proc = subprocess.Popen(cmd + [os.path.join(work, stream + ".jsonl")], stdout=out)
        _, status, usage = os.wait4(proc.pid, 0)
        wall = time.perf_counter() - start
    code = os.waitstatus_to_exitcode(status)
    if code != 0:
        sys.exit("%s: %s: exit status %d" % (stream, " ".join(cmd[1:]) or cmd[0], code))
    return usage.ru_utime + usage.ru_stime, wall


def loadavg():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


results = {"lines": lines, "runs": runs, "loadavg": {"start": loadavg()}, "streams": {}}
for stream in ("outrif", "mixed"):
    cpu = {name: [] for name, _ in COMMANDS}
    wall = {name: [] for name, _ in COMMANDS}
    for run in range(runs):
        # Interleaved, each run in another order, so that a change of load falls on all three.
        order = COMMANDS[run % len(COMMANDS):] + COMMANDS[:run % len(COMMANDS)]
        for name, cmd in order:
            c, w = timed(cmd, stream)
            cpu[name].append(c)
            wall[name].append(w)
    base = statistics.median(cpu["anchor"])
    figures = {}
    for name, _ in COMMANDS:
        c = statistics.median(cpu[name])
        figures[name] = {"cpuSeconds": c, "wallSeconds": statistics.median(wall[name]),
                         "linesPerCpuSecond": lines / c if c else None,
                         "spread": (max(cpu[name]) - min(cpu[name])) / c if c else 0.0,
                         "timesAnchor": c / base if base else None}
    results["streams"][stream] = figures
results["loadavg"]["end"] = loadavg()


def instructions(cmd, path):
    """Instructions of one run under callgrind, as its summary line gives them."""
    out = os.path.join(work, "callgrind.out")
    subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=" + out] + cmd +
                   [path], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    with open(out) as f:
        return next(int(l.split()[1]) for l in f if l.startswith("summary:"))


if counted:
    results["instructionLines"] = counted
    for stream in ("outrif", "mixed"):
        parts = []
        for n in (counted, 2 * counted):
            part = os.path.join(work, "%s.%d.jsonl" % (stream, n))
            with open(os.path.join(work, stream + ".jsonl")) as src, open(part, "w") as dst:
                for _, text in zip(range(n), src):
                    dst.write(text)
            parts.append(part)
        figures = results["streams"][stream]
        for name, cmd in COMMANDS:
            one, two = (instructions(cmd, part) for part in parts)
            figures[name]["instructionsPerLine"] = (two - one) / counted
        base = figures["anchor"]["instructionsPerLine"]
        for name, _ in COMMANDS:
            figures[name]["instructionsTimesAnchor"] = figures[name]["instructionsPerLine"] / base

print("%-8s %-14s %8s %5s %8s %12s %8s %11s %8s" % (
    "stream", "run", "cpu s", "+-%", "wall s", "lines/cpu s", "xanchor", "instr/line", "ixanchor"))
for stream, figures in results["streams"].items():
    for name, f in figures.items():
        print("%-8s %-14s %8.3f %5.1f %8.3f %12.0f %8s %11s %8s" % (
            stream, name, f["cpuSeconds"], 50 * f["spread"], f["wallSeconds"],
            f["linesPerCpuSecond"] or 0,
            "%.2f" % f["timesAnchor"] if f["timesAnchor"] else "-",
            "%.0f" % f["instructionsPerLine"] if "instructionsPerLine" in f else "-",
            "%.2f" % f["instructionsTimesAnchor"] if "instructionsTimesAnchor" in f else "-"))
print("(medians of %d interleaved runs of %d lines; cpu s: user + system time of the process, "
      "+-%%: half its spread; xanchor: cpu s over the anchor's)" % (runs, lines))
if counted:
    print("(instr/line: callgrind, lines %d to %d of each stream, what a run pays once left out; "
          "ixanchor: over the anchor's)" % (counted + 1, 2 * counted))
print("load average: %s at the start, %s at the end" % (results["loadavg"]["start"],
                                                        results["loadavg"]["end"]))
if json_out:
    with open(json_out, "w") as f:
        json.dump(results, f, indent=2)
EOF
