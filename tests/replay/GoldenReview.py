#!/usr/bin/env python3
"""The review form of a golden file: each line of the example stream (`> ...`) above the JSON
lines its replay printed, so that a reviewer reads input and output in one place. Lines without
a line number (start-up and end traces, the summary) stay where the replay printed them.

    GoldenReview.py INPUT GOLDEN REVIEW

compares the review form made from INPUT and GOLDEN with the file REVIEW; with EEDB_UPDATE_GOLDEN
set in the environment it writes REVIEW instead."""
import difflib
import json
import os
import sys


def review(input_path, golden_path):
    with open(input_path, encoding="utf-8", errors="surrogateescape", newline="") as f:
        inputs = [line.rstrip("\r") for line in f.read().split("\n")]
    with open(golden_path, encoding="utf-8", errors="surrogateescape") as f:
        outputs = f.read().splitlines()
    name = os.path.basename(golden_path)
    out = [f"# {os.path.basename(input_path)} replayed: each input line (>) above its output in "
           f"{name}. Generated; rewrite with EEDB_UPDATE_GOLDEN=1 ctest -R golden."]
    shown = 0

    def show_inputs(upto):
        nonlocal shown
        for number in range(shown + 1, min(upto, len(inputs)) + 1):
            if inputs[number - 1].strip():
                out.append("")
                out.append("> " + inputs[number - 1])
        shown = max(shown, upto)

    for line in outputs:
        number = json.loads(line).get("line")
        if isinstance(number, int) and number > shown:
            show_inputs(number)
        out.append(line)
    show_inputs(len(inputs))
    return "\n".join(out) + "\n"


def main(input_path, golden_path, review_path):
    made = review(input_path, golden_path)
    if os.environ.get("EEDB_UPDATE_GOLDEN"):
        os.makedirs(os.path.dirname(review_path), exist_ok=True)
        with open(review_path, "w", encoding="utf-8", errors="surrogateescape") as f:
            f.write(made)
        print(f"wrote {review_path}")
        return 0
    try:
        with open(review_path, encoding="utf-8", errors="surrogateescape") as f:
            kept = f.read()
    except FileNotFoundError:
        kept = ""
    if kept == made:
        return 0
    sys.stdout.writelines(difflib.unified_diff(kept.splitlines(True), made.splitlines(True),
                                               review_path, "made from the golden file"))
    print(f"{review_path} is stale: rewrite it with EEDB_UPDATE_GOLDEN=1 ctest -R golden")
    return 1


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
