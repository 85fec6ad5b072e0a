#!/usr/bin/env python3
"""The performance budget as one table, read from the benchmark programs' JSON output.

    python3 bench/budget.py build/release/bench-results

Every figure is the median over the repetitions when there were several. Work inside one
benchmark program is judged by its processor time, which other load on the machine disturbs
least (its wall time stands beside it); the start-up by the time from exec to the panel's
first paint. A measure whose benchmark did not run, or stopped with an error, shows why
instead of a result.
"""
import json
import pathlib
import sys

UNITS = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}


class Missing(Exception):
    pass


class Results:
    def __init__(self, folder):
        self.programs = {}
        for path in sorted(pathlib.Path(folder).glob("*.json")):
            try:
                self.programs[path.stem] = json.loads(path.read_text())["benchmarks"]
            except (OSError, ValueError, KeyError) as error:
                print(f"budget: cannot read {path}: {error}", file=sys.stderr)

    def runs(self, program, name):
        """The runs of one benchmark: its median when repeated, else its single run."""
        if program not in self.programs:
            raise Missing(f"{program} did not run")
        runs = [run for run in self.programs[program]
                if run.get("run_name", run["name"]) == name or run.get("run_name", "").startswith(name + "/")]
        if not runs:
            raise Missing(f"{program} has no {name}")
        for run in runs:
            if run.get("error_occurred"):
                raise Missing(f"{name}: {run.get('error_message', 'error')}".splitlines()[0])
        medians = [run for run in runs if run.get("aggregate_name") == "median"]
        if medians:
            return medians
        return [run for run in runs if run.get("run_type", "iteration") == "iteration"]

    def seconds(self, program, name, clock="real_time"):
        """The slowest of the benchmark's variants (captures), in seconds."""
        return max(run[clock] * UNITS[run.get("time_unit", "ns")] for run in self.runs(program, name))

    def counter(self, program, name, counter):
        runs = self.runs(program, name)
        if counter not in runs[0]:
            raise Missing(f"{name} has no {counter}")
        return runs[0][counter]


def milliseconds(value):
    return f"{value * 1e3:.1f} ms"


def megabytes(value):
    return f"{value / 1e6:.1f} MB"


def measures(results):
    """(measure, goal, check) rows; check returns (result text, met) or raises Missing."""

    def at_most(limit, value, text):
        return text, value <= limit

    def delivery():
        cpu = results.seconds("DeliveryBench", "delivery", "cpu_time")
        return at_most(5e-3, cpu, milliseconds(cpu) + " CPU")

    def timed(program, name, limit, note=""):
        cpu = results.seconds(program, name, "cpu_time")
        wall = results.seconds(program, name)
        return at_most(limit, cpu, f"{milliseconds(cpu)} CPU, {milliseconds(wall)} wall{note}")

    def load():
        return timed("ActivityBench", "loadAndSort", 150e-3)

    def load_against_parse():
        load_time = results.seconds("ActivityBench", "loadAndSort", "cpu_time")
        parse_time = results.seconds("ActivityBench", "bareParse", "cpu_time")
        ratio = load_time / parse_time
        return at_most(2.0, ratio, f"{ratio:.2f} × ({milliseconds(load_time)} vs {milliseconds(parse_time)} CPU)")

    def search():
        return timed("ActivityBench", "search", 16e-3, ", slowest query")

    def router():
        cpu = results.seconds("RouterBench", "winningRoute", "cpu_time")
        wall = results.seconds("RouterBench", "winningRoute")
        return at_most(50e-6, cpu, f"{cpu * 1e6:.1f} µs CPU, {wall * 1e6:.1f} µs wall")

    def start_up():
        value = results.seconds("AppBench", "startUpToPanel")
        cpu = results.counter("AppBench", "startUpToPanel", "cpuSeconds")
        return at_most(200e-3, value, f"{milliseconds(value)} wall, {milliseconds(cpu)} CPU")

    def idle_memory():
        app = results.counter("AppBench", "idleMemory", "appBytes")
        bare = results.counter("AppBench", "idleMemory", "bareBytes")
        where = "Xvfb" if results.counter("AppBench", "idleMemory", "underX11") else "offscreen"
        ratio = app / bare
        return at_most(1.25, ratio, f"{ratio:.2f} × ({megabytes(app)} vs {megabytes(bare)}, {where})")

    def list_memory():
        used = results.counter("ActivityBench", "listMemory", "listBytes")
        size = results.counter("ActivityBench", "listMemory", "fileBytes")
        ratio = used / size
        return at_most(0.5, ratio, f"{ratio:.2f} × ({megabytes(used)} of {megabytes(size)})")

    def activity_tab():
        cpu = max(results.seconds("ActivityTabBench", name, "cpu_time")
                  for name in ("typeQuery", "clearQuery", "scrollScreen"))
        return at_most(16e-3, cpu, milliseconds(cpu) + " CPU, slowest")

    def hashing():
        ratio = results.counter("HashBench", "BM_Sha256AgainstOpenSSL", "ratio")
        return f"{ratio:.2f} ×", ratio >= 0.9

    return [
        ("Delivery: CPU beyond its waits (60,000 characters, 3 attachments)", "≤ 5 ms", delivery),
        ("Activity log: load and sort 100,000 entries", "≤ 150 ms", load),
        ("Activity log: load against a bare simdjson parse", "≤ 2 ×", load_against_parse),
        ("Activity log: one search over 100,000 entries", "≤ 16 ms", search),
        ("Router: the winning route among 1,000", "≤ 50 µs", router),
        ("Start-up to the panel's first paint, 100,000 entries", "≤ 200 ms", start_up),
        ("Idle memory, 10,000 entries, against a bare tray app", "≤ 1.25 ×", idle_memory),
        ("List memory, 100,000 entries, against activity.jsonl", "≤ 0.5 ×", list_memory),
        ("Activity tab: filter or scroll 100,000 entries", "≤ 16 ms", activity_tab),
        ("Update image hashing against openssl dgst", "≥ 0.9 ×", hashing),
    ]


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: budget.py <folder of benchmark JSON files>")
    results = Results(sys.argv[1])
    rows = [("Measure", "Goal", "Result", "Met")]
    misses = 0
    for measure, goal, check in measures(results):
        try:
            text, met = check()
            verdict = "pass" if met else "MISS"
        except Missing as missing:
            text, met, verdict = str(missing), False, "n/a"
        misses += not met
        rows.append((measure, goal, text, verdict))
    widths = [max(len(row[column]) for row in rows) for column in range(4)]
    for index, row in enumerate(rows):
        print("  ".join(cell.ljust(width) for cell, width in zip(row, widths)).rstrip())
        if index == 0:
            print("  ".join("-" * width for width in widths))
    print(f"\n{len(rows) - 1 - misses} of {len(rows) - 1} goals met.")


if __name__ == "__main__":
    main()
