"""Measures the benchmark side by side with the reference writers and prints the table of
bench/README.md: wall time and peak RSS of the whole process (GNU time), median of several runs,
the programs taking turns so that a slow moment of the machine falls on all of them.

    python3 bench/measure.py [--build build] [--runs 6] [--dir DIRECTORY]

The files are written into DIRECTORY (default: a new directory in /dev/shm, so that the disk's
write-back does not decide the time) and checked byte for byte against each other."""

import argparse
import filecmp
import os
import statistics
import subprocess
import tempfile

LARGE = 1_000_000
SMALL = 100_000


def programs(build, directory):
    bench = os.path.join(os.path.abspath(build), "bench")
    out = lambda name: os.path.join(directory, name)
    return {
        "xml": [f"{bench}/leasedump-bench", "xml", "{n}", out("bench-{n}.xml")],
        "pugixml": [f"{bench}/leasedump-ref-pugixml", "{n}", out("pugixml-{n}.xml")],
        "stream xml": [f"{bench}/leasedump-ref-stream", "xml", "{n}", out("stream-{n}.xml")],
        "text": [f"{bench}/leasedump-bench", "text", "{n}", out("bench-{n}.txt")],
        "stream text": [f"{bench}/leasedump-ref-stream", "text", "{n}", out("stream-{n}.txt")],
        "query": [f"{bench}/leasedump-bench", "query", "{n}", out("query-{n}.xml")],
    }


def run_once(command, count):
    """Wall seconds and peak RSS in MiB of one run."""
    arguments = [part.format(n=count) for part in command]
    with tempfile.NamedTemporaryFile("r") as report:
        subprocess.run(["/usr/bin/time", "-o", report.name, "-f", "%e %M", *arguments],
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=True)
        wall, kilobytes = report.read().split()
    return float(wall), int(kilobytes) / 1024


def measure(commands, count, runs):
    results = {name: [] for name in commands}
    for _ in range(runs):
        for name, command in commands.items():
            results[name].append(run_once(command, count))
    return {name: (statistics.median(w for w, _ in samples),
                   statistics.median(m for _, m in samples))
            for name, samples in results.items()}


def check_outputs(directory, count):
    file = lambda name: os.path.join(directory, name.format(n=count))
    for ours, theirs in (("bench-{n}.xml", "pugixml-{n}.xml"), ("bench-{n}.xml", "stream-{n}.xml"),
                         ("query-{n}.xml", "pugixml-{n}.xml"), ("bench-{n}.txt", "stream-{n}.txt")):
        if not filecmp.cmp(file(ours), file(theirs), shallow=False):
            raise SystemExit(f"{ours} and {theirs} differ at {count} leases")
    return os.path.getsize(file("bench-{n}.xml"))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("--runs", type=int, default=6)
    parser.add_argument("--dir")
    options = parser.parse_args()
    directory = options.dir or tempfile.mkdtemp(prefix="leasedump-bench-", dir="/dev/shm")
    commands = programs(options.build, directory)

    large = measure(commands, LARGE, options.runs)
    size = check_outputs(directory, LARGE)
    small = measure(commands, SMALL, options.runs)
    check_outputs(directory, SMALL)

    print(f"{LARGE:,} leases, XML file {size:,} bytes, median of {options.runs} runs\n")
    print("| program | wall s | peak RSS MiB | wall vs reference | RSS vs reference |")
    print("|---|---|---|---|---|")
    references = {"xml": "pugixml", "text": "stream text", "query": "pugixml"}
    for name, (wall, rss) in large.items():
        reference = references.get(name)
        ratios = "| |"
        if reference:
            ratios = (f"| {wall / large[reference][0]:.2f}x {reference} "
                      f"| {rss / large[reference][1]:.2f}x {reference} |")
        print(f"| {name} | {wall:.2f} | {rss:.0f} {ratios}")
    print(f"\nquery adds {large['query'][0] - large['xml'][0]:+.2f} s to xml")
    print(f"\n{SMALL:,} against {LARGE:,} leases (wall time, then peak RSS):\n")
    print("| program | wall s | wall ratio 1M/100k | peak RSS MiB | RSS ratio 1M/100k |")
    print("|---|---|---|---|---|")
    for name, (wall, rss) in small.items():
        print(f"| {name} | {wall:.3f} | {large[name][0] / wall:.1f} | {rss:.0f} "
              f"| {large[name][1] / rss:.1f} |")
    if not options.dir:
        for name in os.listdir(directory):
            os.remove(os.path.join(directory, name))
        os.rmdir(directory)


if __name__ == "__main__":
    main()
