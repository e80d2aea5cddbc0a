"""leasedump against a real kea-dhcp4 with many leases, side by side with the bare page client
(the floor: the same requests over the same path, replies thrown away) and with what users do
today (one lease4-get-all per subnet to a file: curl over HTTP, a plain socket over UNIX), and
prints the table of bench/README.md.

    python3 bench/kea_end_to_end.py [--build build] [--runs 3] [--paths agent@host,direct@sid,...]
                                    [--scenarios 200000x4,1000000x1] [--limits 500,1000,2000,5000]

Each path is PATH@RELEASE of scripts/kea_sandbox.py: agent@host (kea-ctrl-agent of the host's
Kea), direct@sid (kea-dhcp4's own HTTP socket), unix@sid (its UNIX socket). The chroot releases
need root and scripts/make-kea-chroots; a path that cannot run is reported and skipped. A path
may end in +postgresql or +mysql (the host's Kea only): kea-dhcp4 then keeps the leases in a
throw-away database server of that kind, written straight into its lease table before Kea starts.

The tool runs whole (GNU time: wall seconds, peak RSS), with /text and with XML, its files in a
new directory of /dev/shm. The longest command is timed in the bare page client, which makes the
tool's requests one by one (version-get, config-get, every lease4-get-page); for today's route,
the longest single lease4-get-all; each the median over the runs of a run's longest, with the
worst of all runs beside it. kea-dhcp4's peak RSS is its VmHWM before and after the tool's
runs (before the other clients run), and after today's route. With --limits the bare client walks the leases again with
each page size, for the choice of the tool's."""

import argparse
import contextlib
import http.client
import json
import os
import re
import socket
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts"))
from kea_sandbox import (LEASE_DATABASES, SQL_LEASE_DAYS, KeaSandbox,  # noqa: E402
                         generated_network, kea_release)

TOOL_PAGE_LIMIT = 500
LAST_ADDRESS = re.compile(rb'"ip-address":\s*"([0-9.]+)"')
COUNT = re.compile(rb'"count":\s*(\d+)')


def address_number(text):
    first, second, third, fourth = (int(part) for part in text.split("."))
    return (first << 24) | (second << 16) | (third << 8) | fourth


def address_text(number):
    return ".".join(str(number >> shift & 255) for shift in (24, 16, 8, 0))


class BareClient:
    """Sends commands over the sandbox's path as the tool does (one keep-alive HTTP connection,
    or one UNIX connection per command, read until Kea closes it) and times each."""

    def __init__(self, kea):
        self.kea = kea
        self.http = None if kea.path == "unix" else http.client.HTTPConnection(
            "127.0.0.1", kea.port, timeout=120)
        self.longest = 0.0
        self.requests = 0

    def close(self):
        if self.http is not None:
            self.http.close()

    def send(self, command, arguments=None):
        request = {"command": command}
        if self.http is not None:
            request["service"] = ["dhcp4"]
        if arguments is not None:
            request["arguments"] = arguments
        body = json.dumps(request).encode()
        started = time.perf_counter()
        reply = self._exchange(body)
        elapsed = time.perf_counter() - started
        self.longest = max(self.longest, elapsed)
        self.requests += 1
        return reply

    def _exchange(self, body):
        if self.http is not None:
            self.http.request("POST", "/", body, {"Content-Type": "application/json"})
            return self.http.getresponse().read()
        with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as connection:
            connection.connect(self.kea.socket_path)
            connection.sendall(body)
            chunks = []
            while chunk := connection.recv(1 << 20):
                chunks.append(chunk)
            return b"".join(chunks)


def subnet_ranges(client):
    """(first, last, ids) of each network address, widest range, as the tool reads them."""
    answer = json.loads(client.send("config-get"))
    config = (answer[0] if isinstance(answer, list) else answer)["arguments"]["Dhcp4"]
    subnets = config.get("subnet4", []) + [s for network in config.get("shared-networks", [])
                                           for s in network.get("subnet4", [])]
    ranges = {}
    for subnet in subnets:
        address, length = subnet["subnet"].split("/")
        first = address_number(address)
        last = first | ((1 << (32 - int(length))) - 1)
        known = ranges.setdefault(first, [first, last, []])
        known[1] = max(known[1], last)
        known[2].append(subnet["id"])
    return list(ranges.values())


def bare_page_walk(kea, limit):
    """The tool's requests with the replies thrown away: seconds, longest command, requests."""
    client = BareClient(kea)
    started = time.perf_counter()
    client.send("version-get")
    for first, last, _ in subnet_ranges(client):
        after = "start" if first == 0 else address_text(first - 1)
        while True:
            reply = client.send("lease4-get-page", {"from": after, "limit": limit})
            count = COUNT.search(reply)
            if count is None or int(count.group(1)) < limit:
                break
            end = reply.rfind(b'"ip-address"')
            after = LAST_ADDRESS.match(reply, end).group(1).decode()
            if address_number(after) >= last:
                break
    elapsed = time.perf_counter() - started
    client.close()
    return elapsed, client.longest, client.requests


def curl_get_all(kea, directory):
    """Today's route over HTTP: one curl of lease4-get-all per subnet into a file."""
    client = BareClient(kea)
    ranges = subnet_ranges(client)
    client.close()
    longest = 0.0
    started = time.perf_counter()
    for number, (_, _, ids) in enumerate(ranges):
        request = json.dumps({"command": "lease4-get-all", "service": ["dhcp4"],
                              "arguments": {"subnets": ids}})
        began = time.perf_counter()
        subprocess.run(["curl", "-sS", "--fail", "-H", "Content-Type: application/json",
                        "-d", request, "-o", os.path.join(directory, f"curl-{number}.json"),
                        kea.url], check=True, stdin=subprocess.DEVNULL)
        longest = max(longest, time.perf_counter() - began)
    return time.perf_counter() - started, longest


def socket_get_all(kea, directory):
    """Today's route over UNIX (curl does not speak it): lease4-get-all per subnet to a file."""
    client = BareClient(kea)
    ranges = subnet_ranges(client)
    client.longest = 0.0
    started = time.perf_counter()
    for number, (_, _, ids) in enumerate(ranges):
        reply = client.send("lease4-get-all", {"subnets": ids})
        with open(os.path.join(directory, f"get-all-{number}.json"), "wb") as file:
            file.write(reply)
    return time.perf_counter() - started, client.longest


def run_tool(build, kea, directory, text):
    """Wall seconds and peak RSS (MiB) of one whole run of the tool."""
    arguments = [os.path.join(os.path.abspath(build), "leasedump")] + (["/text"] if text else [])
    answers = f"{kea.server_text}\n{os.path.join(directory, 'out.txt' if text else 'out.xml')}\n"
    with tempfile.NamedTemporaryFile("r") as report:
        result = subprocess.run(["/usr/bin/time", "-o", report.name, "-f", "%e %M", *arguments],
                                input=answers.encode(), capture_output=True, check=True)
        if b"Error:" in result.stdout:
            raise SystemExit(f"leasedump reported an error:\n{result.stdout.decode()[-600:]}")
        wall, kilobytes = report.read().split()
    return float(wall), int(kilobytes) / 1024, result.stdout


def peak_rss_mib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) / 1024
    return 0.0


def median_pair(samples):
    return statistics.median(a for a, _ in samples), statistics.median(b for _, b in samples)


def sandbox(stack, subnets, leases, path, release, database):
    """The Kea of the path, with the leases in its memfile or in a database of that kind."""
    if database == "memfile":
        return stack.enter_context(KeaSandbox(subnets, leases, path=path, release=release))
    lease_database = stack.enter_context(LEASE_DATABASES[database]())
    lease_database.fill(leases, int(time.time()) + SQL_LEASE_DAYS * 86400)
    return stack.enter_context(KeaSandbox(subnets, [], path=path, release=release,
                                          lease_database=lease_database))


def measure_path(options, path, release_name, database, lease_count, subnet_count, directory):
    release = kea_release(release_name)
    if release is None:
        print(f"# {path}@{release_name}: skipped (needs root and scripts/make-kea-chroots)")
        return None
    if database != "memfile" and release.chrooted:
        raise SystemExit(f"{path}@{release_name}+{database}: a SQL database only with the host")
    subnets, leases = generated_network(lease_count, subnet_count)
    with contextlib.ExitStack() as stack:
        kea = sandbox(stack, subnets, leases, path, release, database)
        version = kea.command("version-get")[0].get("text", "").split()[0]
        dhcp4 = kea._dhcp4.pid
        for _ in range(2):  # warm-up: the server's first walks of its leases are slower
            bare_page_walk(kea, TOOL_PAGE_LIMIT)
        rss_before = peak_rss_mib(dhcp4)
        # The tool and the bare client take turns, so that a slow moment of the machine or of
        # the server falls on both alike.
        text_runs, xml_runs, bare = [], [], []
        for _ in range(options.runs):
            bare.append(bare_page_walk(kea, TOOL_PAGE_LIMIT))
            wall, rss, output = run_tool(options.build, kea, directory, True)
            if f"Queried {lease_count} entries".encode() not in output:
                raise SystemExit(f"leasedump did not read every lease:\n{output.decode()[-600:]}")
            text_runs.append((wall, rss))
            wall, rss, _ = run_tool(options.build, kea, directory, False)
            xml_runs.append((wall, rss))
        rss_after = peak_rss_mib(dhcp4)
        get_all = curl_get_all if path != "unix" else socket_get_all
        today = [get_all(kea, directory) for _ in range(options.runs)]
        rss_after_get_all = peak_rss_mib(dhcp4)
        limits = {limit: [bare_page_walk(kea, limit) for _ in range(options.runs)]
                  for limit in options.limits}
    storage = "" if database == "memfile" else f", {database}"
    return {
        "name": f"{path}@{release_name} (Kea {version}{storage})", "text": median_pair(text_runs),
        "xml": median_pair(xml_runs),
        "bare": (statistics.median(b[0] for b in bare), statistics.median(b[1] for b in bare),
                 max(b[1] for b in bare), bare[0][2]),
        "today": (statistics.median(t[0] for t in today), statistics.median(t[1] for t in today),
                  "curl" if path != "unix" else "socket"),
        "kea_rss": (rss_before, rss_after, rss_after_get_all),
        "limits": {limit: (statistics.median(r[0] for r in runs),
                           statistics.median(r[1] for r in runs), max(r[1] for r in runs))
                   for limit, runs in limits.items()},
    }


def print_table(scenario, results):
    print(f"\n{scenario}\n")
    print("| path | tool /text s | MiB | tool XML s | MiB | bare pages s (requests) | "
          "/text / bare | get-all per subnet s | longest page s (worst) | longest get-all s | "
          "kea-dhcp4 VmHWM MiB: before → after the tool | after get-all |")
    print("|---|---|---|---|---|---|---|---|---|---|---|---|")
    for r in results:
        (tw, tm), (xw, xm) = r["text"], r["xml"]
        bw, blong, bworst, requests = r["bare"]
        aw, along, route = r["today"]
        before, after, after_get_all = r["kea_rss"]
        print(f"| {r['name']} | {tw:.2f} | {tm:.0f} | {xw:.2f} | {xm:.0f} | {bw:.2f} ({requests}) "
              f"| {tw / bw:.2f}x | {aw:.2f} ({route}) | {blong:.3f} ({bworst:.3f}) | {along:.3f} | "
              f"{before:.0f} → {after:.0f} (+{(after - before) / before * 100:.1f} %) | "
              f"{after_get_all:.0f} (+{(after_get_all - before) / before * 100:.0f} %) |")
    limits = sorted({limit for r in results for limit in r["limits"]})
    if limits:
        print("\n| path | " + " | ".join(f"limit {limit}: s, longest s (worst)" for limit in limits) +
              " |")
        print("|---|" + "---|" * len(limits))
        for r in results:
            cells = [f"{r['limits'][l][0]:.2f}, {r['limits'][l][1]:.3f} ({r['limits'][l][2]:.3f})"
                     for l in limits]
            print(f"| {r['name']} | " + " | ".join(cells) + " |")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--paths", default="agent@host,direct@sid,unix@sid")
    parser.add_argument("--scenarios", default="200000x4,1000000x1")
    parser.add_argument("--limits", default="",
                        help="page sizes for the bare client to compare, e.g. 500,1000,2000,5000")
    options = parser.parse_args()
    options.limits = [int(limit) for limit in options.limits.split(",") if limit]
    with tempfile.TemporaryDirectory(dir="/dev/shm", prefix="leasedump-kea-bench-") as directory:
        for scenario in options.scenarios.split(","):
            lease_count, subnet_count = (int(part) for part in scenario.split("x"))
            results = []
            for entry in options.paths.split(","):
                path, _, where = entry.partition("@")
                release_name, _, database = where.partition("+")
                result = measure_path(options, path, release_name, database or "memfile",
                                      lease_count, subnet_count, directory)
                if result is not None:
                    results.append(result)
                    print(f"# done: {result['name']} at {scenario}", flush=True)
            print_table(f"{lease_count} leases in {subnet_count} subnet(s), median of "
                        f"{options.runs} runs", results)
    return 0


if __name__ == "__main__":
    sys.exit(main())
