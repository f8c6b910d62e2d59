#!/usr/bin/env python3
"""The sample outputs of the documentation are the tool's own: every fenced block that follows
a marker

    <!-- sample: ARGS -->

must appear, line by line and in order, in what `eedb-replay ARGS` prints (run from the top of
the source tree, with the plug-in of the build). A line "..." in a block stands for lines left
out.

usage: readme_samples.py TOOL PLUGIN SOURCE_DIR FILE... (FILE relative to SOURCE_DIR)"""
import os
import shlex
import subprocess
import sys


def check(tool, plugin, root, name):
    lines = open(os.path.join(root, name), encoding="utf-8").read().split("\n")
    stale = 0
    checked = 0
    for i, line in enumerate(lines):
        if not line.startswith("<!-- sample: "):
            continue
        args = shlex.split(line[len("<!-- sample: "):].removesuffix("-->").strip())
        assert lines[i + 1].startswith("```"), f"{name}:{i + 2}: a fenced block must follow"
        end = lines.index("```", i + 2)
        block = lines[i + 2:end]
        run = subprocess.run([tool, "--plugin", plugin] + args, cwd=root, capture_output=True,
                             text=True)
        out = run.stdout.split("\n")
        at = 0
        for n, want in enumerate(block):
            if want == "...":
                continue
            try:
                at = out.index(want, at) + 1
            except ValueError:
                print(f"{name}:{i + 3 + n}: not in the output of eedb-replay {' '.join(args)} "
                      f"(or out of order):\n  {want}")
                stale += 1
                break
        checked += 1
    return checked, stale


def main(tool, plugin, root, *names):
    stale = 0
    for name in names:
        checked, stale_here = check(tool, plugin, root, name)
        if checked == 0:
            print(f"{name} holds no sample marker")
            stale += 1
        stale += stale_here
    if stale:
        print("Rerun the command and paste its output into the block.")
    return 1 if stale else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
