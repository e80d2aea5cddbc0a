"""A whole export from a large dhcpd lease file, measured side by side with the reader of the
file alone and a plain single pass over its bytes (the floor), and printed as the table of
bench/README.md: wall time and peak RSS of each process (GNU time), median of several runs, the
programs taking turns so that a slow moment of the machine falls on all of them.

    python3 bench/dhcpd_export.py [--build build] [--runs 5] [--leases 1000000] [--dir DIR]

The lease file (made by `leasedump-bench-dhcpd generate`: every address of 10.0.0.0/12 from the
first declared twice, as a grant and a renewal, each fiftieth renewal freeing its address) and the
configuration of one /12 subnet go into DIR (default: a new directory in /dev/shm, removed at the
end). The program runs as a user would run it, `leasedump /text` with the configuration's path
and a file name as its answers; its text file is checked byte for byte against the records that
the generator's rules give."""

import argparse
import os
import shutil
import statistics
import subprocess
import tempfile

# What the export must take at a million leases on the machine of bench/README.md.
WALL_TARGET_S = 3.0
RSS_TARGET_MIB = 350


def run_once(command, stdin=b""):
    """Wall seconds and peak RSS in MiB of one run."""
    with tempfile.NamedTemporaryFile("r") as report:
        subprocess.run(["/usr/bin/time", "-o", report.name, "-f", "%e %M", *command],
                       input=stdin, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       check=True)
        wall, kilobytes = report.read().split()
    return float(wall), int(kilobytes) / 1024


def expected_text(count):
    """The text file of the generator's leases: each address but those freed, ascending."""
    lines = [b"# Name;IP;MAC\r\n"]
    for i in range(count):
        if i % 50 == 0:
            continue
        address = 0x0A000000 + i
        ip = f"{address >> 24}.{(address >> 16) & 255}.{(address >> 8) & 255}.{address & 255}"
        mac = f"00-16-3E-{(i >> 16) & 255:02X}-{(i >> 8) & 255:02X}-{i & 255:02X}"
        lines.append(f"ws{i};{ip};{mac}\r\n".encode())
    return b"".join(lines)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default="build")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--leases", type=int, default=1_000_000)
    parser.add_argument("--dir")
    options = parser.parse_args()
    build = os.path.abspath(options.build)
    bench = os.path.join(build, "bench", "leasedump-bench-dhcpd")
    made = options.dir is None
    directory = options.dir or tempfile.mkdtemp(prefix="leasedump-bench-", dir="/dev/shm")
    try:
        leases = os.path.join(directory, "dhcpd.leases")
        config = os.path.join(directory, "dhcpd.conf")
        out = os.path.join(directory, "export.txt")
        subprocess.run([bench, "generate", str(options.leases), leases], check=True)
        with open(config, "w") as file:
            file.write(f'lease-file-name "{leases}";\nsubnet 10.0.0.0 netmask 255.240.0.0 {{ }}\n')
        commands = {
            "`leasedump /text` (the whole export)":
                ([os.path.join(build, "leasedump"), "/text"], f"{config}\n{out}\n".encode()),
            "`leasedump-bench-dhcpd read` (the reader alone)": ([bench, "read", leases], b""),
            "`leasedump-bench-dhcpd floor` (one pass, nothing made)":
                ([bench, "floor", leases], b""),
        }
        samples = {name: [] for name in commands}
        for _ in range(options.runs):
            for name, (command, stdin) in commands.items():
                samples[name].append(run_once(command, stdin))
        with open(out, "rb") as file:
            if file.read() != expected_text(options.leases):
                raise SystemExit("the export is not the generator's leases")
        size = os.path.getsize(leases)
    finally:
        if made:
            shutil.rmtree(directory, ignore_errors=True)

    medians = {name: (statistics.median(w for w, _ in runs), statistics.median(m for _, m in runs))
               for name, runs in samples.items()}
    floor_wall = medians[list(commands)[-1]][0]
    print(f"{options.leases:,} leases in a lease file of {size:,} bytes, median of "
          f"{options.runs} runs\n")
    print("| program | wall s | peak RSS MiB | wall against the floor |")
    print("|---|---|---|---|")
    for name, (wall, rss) in medians.items():
        print(f"| {name} | {wall:.2f} | {rss:.0f} | {wall / max(floor_wall, 0.01):.1f}x |")
    export_wall, export_rss = medians[list(commands)[0]]
    print(f"\ntargets: wall <= {WALL_TARGET_S} s: {export_wall:.2f} s "
          f"({'holds' if export_wall <= WALL_TARGET_S else 'missed'}); "
          f"peak RSS <= {RSS_TARGET_MIB} MiB: {export_rss:.0f} MiB "
          f"({'holds' if export_rss <= RSS_TARGET_MIB else 'missed'})")


if __name__ == "__main__":
    main()
