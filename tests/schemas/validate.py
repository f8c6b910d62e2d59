#!/usr/bin/env python3
"""The stream formats against their JSON Schemas (schemas/*.schema.json).

Every line of the example streams and of the verify streams that the tool takes validates
against the input schema, and every line it refuses as input fails it (but for the refusals a
schema cannot state); so does every line of their shadows written as streams
(--dump-shadow=stream). Every object of the golden outputs, of fresh replays with --dump-shadow,
--verify and --trace, and of --list-tables, --describe (every table) and --version validates
against exactly one output schema, and against the schema of any output line. Each schema names
itself by its $id, through which the others refer to it.

usage: validate.py TOOL PLUGIN SCHEMA_DIR EXAMPLES_DIR GOLDEN_DIR [OTHER_PLUGIN]

OTHER_PLUGIN, a build of the plug-in that differs from PLUGIN, shows the records of
--compare-plugin; --shrink's report is checked on every example stream that fails.
"""
import glob
import json
import os
import subprocess
import sys
import tempfile

try:
    import jsonschema
except ImportError:
    sys.exit("validate.py: needs python3-jsonschema (apt-get install python3-jsonschema)")

OUTPUTS = ["offer", "rejected", "unmet", "trace", "dump", "verify", "summary", "list-tables",
           "describe", "version", "shrink", "compare", "compared"]
ID_BASE = "https://eedb26.example.invalid/schemas/"

# Refusals that depend on more than one member's value, or on the tool's session: no schema
# here states them.
BEYOND_SCHEMA = [
    "duplicate member",
    "duplicate field",
    "the data of",  # SRv6 view data of another view than the entry's viewType, or of two
    "takes an IPv4 address",  # an IPv6 address on a view whose format holds an IPv4 one
    "no table utility takes",
    "does not fit",  # a number written as text: the schema bounds its digits, not its value
]


def registry_of(schema_dir):
    """Every schema of the folder by its $id, which must be the base and the file's name."""
    schemas = {}
    for path in sorted(glob.glob(os.path.join(schema_dir, "*.schema.json"))):
        with open(path) as f:
            schema = json.load(f)
        jsonschema.Draft202012Validator.check_schema(schema)
        want = ID_BASE + os.path.basename(path)
        if schema.get("$id") != want:
            sys.exit(f"{path}: $id is {schema.get('$id')!r}, not {want!r}")
        schemas[want] = schema
    return schemas


SCHEMAS = {}


def load(schema_dir, name):
    if not SCHEMAS:
        SCHEMAS.update(registry_of(schema_dir))
    schema = SCHEMAS[ID_BASE + name + ".schema.json"]
    try:
        from referencing import Registry, Resource
        registry = Registry().with_resources(
            (uri, Resource.from_contents(s)) for uri, s in SCHEMAS.items())
        return jsonschema.Draft202012Validator(schema, registry=registry)
    except ImportError:  # jsonschema before 4.18
        resolver = jsonschema.RefResolver.from_schema(schema, store=SCHEMAS)
        return jsonschema.Draft202012Validator(schema, resolver=resolver)


def first_error(validator, instance):
    error = jsonschema.exceptions.best_match(validator.iter_errors(instance))
    if error is None:
        return None
    where = "/".join(str(p) for p in error.absolute_path) or "(line)"
    return f"{where}: {error.message[:300]}"


def main():
    tool, plugin, schema_dir, examples_dir, golden_dir = sys.argv[1:6]
    other_plugin = sys.argv[6] if len(sys.argv) > 6 else plugin
    input_schema = load(schema_dir, "input")
    outputs = {name: load(schema_dir, name) for name in OUTPUTS}
    any_output = load(schema_dir, "output")
    failures = []
    kinds = {name: 0 for name in OUTPUTS}

    def check_output(source, number, text):
        try:
            obj = json.loads(text)
        except ValueError as e:
            failures.append(f"{source}:{number}: not JSON: {e}")
            return
        if not any_output.is_valid(obj):
            failures.append(f"{source}:{number}: not an output line: "
                            f"{first_error(any_output, obj)}")
        matches = [name for name, v in outputs.items() if v.is_valid(obj)]
        if not matches:
            detail = "; ".join(f"{name}: {first_error(v, obj)}" for name, v in outputs.items())
            failures.append(f"{source}:{number}: matches no output schema ({detail})")
        elif len(matches) == 1:
            kinds[matches[0]] += 1
        else:
            failures.append(f"{source}:{number}: matches {', '.join(matches)}, not exactly one")

    # Inputs, with the golden verdict of each line.
    streams = sorted(glob.glob(os.path.join(examples_dir, "*.jsonl")))
    streams += sorted(glob.glob(os.path.join(golden_dir, "*.jsonl")))
    checked = refused_checked = 0
    for stream in streams:
        golden = os.path.join(golden_dir, os.path.basename(stream)[:-1])
        refused = {}
        if os.path.exists(golden) and golden.startswith(os.path.join(golden_dir, "")) and \
                os.path.dirname(stream) == os.path.normpath(examples_dir):
            with open(golden) as f:
                for obj in map(json.loads, f):
                    error = obj.get("error")
                    if isinstance(error, dict) and error.get("type") == "input":
                        refused[obj["line"]] = error["message"]
        with open(stream, encoding="utf-8", errors="surrogateescape") as f:
            lines = f.read().split("\n")
        for number, text in enumerate(lines, 1):
            if not text.strip():
                continue
            try:
                line = json.loads(text)
            except ValueError:
                if number not in refused:
                    failures.append(f"{stream}:{number}: not JSON, yet not refused")
                continue
            error = first_error(input_schema, line)
            if number in refused:
                refused_checked += 1
                if error is None and not any(r in refused[number] for r in BEYOND_SCHEMA):
                    failures.append(f"{stream}:{number}: refused by the tool "
                                    f"({refused[number]}) but valid by the input schema")
            else:
                checked += 1
                if error is not None:
                    failures.append(f"{stream}:{number}: {error}")

    # Outputs: the goldens, then fresh replays that show every kind of object.
    objects = 0

    def check_run(label, *args, stdin=None, with_plugin=plugin, statuses=(0, 1)):
        """Runs the tool and checks every line it prints; returns the lines."""
        nonlocal objects
        command = [tool, "--plugin", with_plugin, "--format", "json", *args]
        run = subprocess.run(command, input=stdin, capture_output=True, text=True)
        if run.returncode not in statuses:
            failures.append(f"{' '.join(command)}: exit status {run.returncode}: {run.stderr}")
        lines = run.stdout.splitlines()
        for number, text in enumerate(lines, 1):
            check_output(f"{label} (output)", number, text)
            objects += 1
        return lines

    for golden in sorted(glob.glob(os.path.join(golden_dir, "*.json"))):
        with open(golden) as f:
            for number, text in enumerate(f, 1):
                check_output(golden, number, text)
                objects += 1
    for stream in streams:
        for extra in (["--dump-shadow", "--verify", "--trace", "*/0-9"],
                      ["--quiet", "--trace", "*/0-9", "--faps", "0-3", "--update-on-delete"]):
            check_run(f"{os.path.basename(stream)} {' '.join(extra)}", *extra, stream)

    # The shadow written as a stream (--dump-shadow=stream): input lines, each valid.
    dumped = 0
    with tempfile.TemporaryDirectory() as work:
        dump = os.path.join(work, "dump.jsonl")
        for stream in streams:
            for extra in ([], ["--faps", "0-3", "--update-on-delete"]):
                command = [tool, "--plugin", plugin, "--quiet", *extra, "--dump-shadow=stream",
                           dump, stream]
                run = subprocess.run(command, capture_output=True)
                if run.returncode not in (0, 1) or not os.path.exists(dump):
                    failures.append(f"{' '.join(command)}: exit status {run.returncode}: "
                                    f"{run.stderr.decode(errors='replace')}")
                    continue
                with open(dump) as f:
                    for number, text in enumerate(f, 1):
                        error = first_error(input_schema, json.loads(text))
                        if error is not None:
                            failures.append(f"{os.path.basename(stream)} {' '.join(extra)} "
                                            f"(dump line {number}): {error}")
                        dumped += 1

    # An expectation that does not hold; the discovery options; --version with and without a
    # plug-in (a missing one still prints the tool's version, with exit status 2).
    check_run("an unmet expectation", "-", stdin='{"table": "EedbOutrif", "entry": {"key": 1, '
              '"viewType": 1}, "expect": {"error": "x"}}\n')
    tables = [json.loads(text)["table"] for text in check_run("--list-tables", "--list-tables")]
    if not tables:
        failures.append("--list-tables listed nothing")
    for table in tables:
        check_run(f"--describe {table}", "--describe", table)
    check_run("--version", "--version")
    # --shrink's report on every example (those that do not fail too), and --compare-plugin.
    with tempfile.TemporaryDirectory() as work:
        for stream in streams:
            check_run(f"--shrink {os.path.basename(stream)}", "--shrink",
                      os.path.join(work, "small.jsonl"), stream)
            check_run(f"--compare-plugin {os.path.basename(stream)}", "--compare-plugin",
                      other_plugin, stream)
    check_run("--version without the plug-in", "--version",
              with_plugin="/nonexistent/libeedb26.so", statuses=(2,))

    for failure in failures:
        print(failure)
    print(f"{checked} input lines valid, {refused_checked} refused lines checked, "
          f"{dumped} lines of shadow dumps valid, "
          f"{objects} output objects ({', '.join(f'{n} {k}' for k, n in kinds.items())}), "
          f"{len(failures)} failures")
    # Each output schema met at least once: an unused one checks nothing.
    for kind, count in kinds.items():
        if count == 0:
            print(f"no output object of kind {kind}")
            failures.append(kind)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
