"""leasedump against a real kea-dhcp4 with many leases, side by side with the bare page client
(the floor: the same requests over the same path, replies thrown away) and with what users do
today (one lease4-get-all per subnet to a file: curl over HTTP, a plain socket over UNIX), and
prints the table of bench/README.md.

    python3 bench/kea_end_to_end.py [--build build] [--runs 3] [--paths agent@host,direct@sid,...]
                                    [--scenarios 200000x4,1000000x1] [--limits 500,1000,2000,5000]
                                    [--delays 0,25 [--skip 1000000x1@25]
                                     [--before OLD_BUILD [--before-delays 0,25]]]

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
each page size, for the choice of the tool's.

With --delays the bench measures a slow link instead (HTTP paths only): bench/delay_proxy.py in
front of the path's endpoint holds every chunk that many milliseconds each way, and at each delay
the tool (/text, XML) and curl's lease4-get-all per subnet go through it, while a version-get
probe on kea-dhcp4's UNIX socket every 20 ms records the longest any other client waited. The
proxy counts the tool's connections; every file of the tool, at every delay and without the
proxy, must hold the bytes of the first one (a file that differs is kept and the run fails).
--skip SCENARIO@DELAY leaves out a pair that would take too long. --before OLD_BUILD times an
earlier build of the tool (/text) beside it, at the delays of --before-delays (0 by default);
its files must hold the same bytes too."""

import argparse
import contextlib
import filecmp
import http.client
import json
import os
import re
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts"))
from kea_sandbox import (LEASE_DATABASES, SQL_LEASE_DAYS, KeaSandbox,  # noqa: E402
                         generated_network, kea_release, unix_command)
from delay_proxy import DelayProxy  # noqa: E402

TOOL_PAGE_LIMIT = 500
PROBE_INTERVAL = 0.02
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

    def __init__(self, kea, port=None):
        self.kea = kea
        self.http = None if kea.path == "unix" else http.client.HTTPConnection(
            "127.0.0.1", port or kea.port, timeout=120)
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


def curl_get_all(kea, directory, port=None):
    """Today's route over HTTP: one curl of lease4-get-all per subnet into a file (to the port
    of a delay proxy in front of Kea, when given)."""
    client = BareClient(kea, port)
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
                        f"http://127.0.0.1:{port}/" if port else kea.url], check=True,
                       stdin=subprocess.DEVNULL)
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


def tool_file(directory, text):
    return os.path.join(directory, "out.txt" if text else "out.xml")


def run_tool(build, server_text, directory, text):
    """Wall seconds and peak RSS (MiB) of one whole run of the tool."""
    arguments = [os.path.join(os.path.abspath(build), "leasedump")] + (["/text"] if text else [])
    answers = f"{server_text}\n{tool_file(directory, text)}\n"
    with tempfile.NamedTemporaryFile("r") as report:
        result = subprocess.run(["/usr/bin/time", "-o", report.name, "-f", "%e %M", *arguments],
                                input=answers.encode(), capture_output=True, check=True)
        if b"Error:" in result.stdout:
            raise SystemExit(f"leasedump reported an error:\n{result.stdout.decode()[-600:]}")
        wall, kilobytes = report.read().split()
    return float(wall), int(kilobytes) / 1024, result.stdout


def check_every_lease(output, lease_count):
    if f"Queried {lease_count} entries".encode() not in output:
        raise SystemExit(f"leasedump did not read every lease:\n{output.decode()[-600:]}")


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
            wall, rss, output = run_tool(options.build, kea.server_text, directory, True)
            check_every_lease(output, lease_count)
            text_runs.append((wall, rss))
            wall, rss, _ = run_tool(options.build, kea.server_text, directory, False)
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


class Probe:
    """Another client of the control channel while one runs: version-get on kea-dhcp4's UNIX
    socket every PROBE_INTERVAL, each timed; `longest` is how long the slowest one waited, which
    is how long a dashboard or a second operator queues behind the client measured."""

    def __init__(self, socket_path):
        self.socket_path = socket_path
        self.longest = 0.0
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._probe, daemon=True)

    def __enter__(self):
        self._thread.start()
        return self

    def __exit__(self, *_exc):
        self._stop.set()
        self._thread.join()

    def _probe(self):
        while not self._stop.wait(PROBE_INTERVAL):
            started = time.perf_counter()
            answer = unix_command(self.socket_path, {"command": "version-get"}, timeout=300)
            self.longest = max(self.longest, time.perf_counter() - started)
            if answer.get("result") != 0:
                raise RuntimeError(f"version-get on {self.socket_path}: {answer}")


class SameBytes:
    """The files of the tool at every delay against the first one of their kind: the link's
    speed must change when the bytes arrive, never which bytes are saved. A file that differs is
    kept for a look (outside /dev/shm) and reported at once."""

    def __init__(self, directory):
        self.directory = directory
        self.first = {}
        self.differing = []

    def check(self, produced, label):
        """True when `produced` is the first file of its kind or holds its bytes."""
        kind = os.path.splitext(produced)[1]
        if kind not in self.first:
            self.first[kind] = os.path.join(self.directory, f"first{kind}")
            os.replace(produced, self.first[kind])
            return True
        if filecmp.cmp(produced, self.first[kind], shallow=False):
            return True
        kept = tempfile.mkdtemp(prefix="leasedump-slow-link-differs-")
        shutil.move(produced, os.path.join(kept, f"{label}{kind}"))
        shutil.copyfile(self.first[kind], os.path.join(kept, f"first{kind}"))
        self.differing.append(label)
        print(f"# DIFFERENT BYTES: the {kind} file of {label} is not the first one; "
              f"both are in {kept}", file=sys.stderr, flush=True)
        return False


def slow_tool_run(options, kea, proxy, directory, text, lease_count, build=None):
    """One whole run of the tool (of `build`, by default the one measured) through the proxy:
    seconds, the longest probe, connections."""
    proxy.take_connection_count()
    with Probe(kea.socket_path) as probe:
        wall, _, output = run_tool(build or options.build, f"127.0.0.1:{proxy.port}", directory,
                                   text)
    check_every_lease(output, lease_count)
    return wall, probe.longest, proxy.take_connection_count()


def slow_link_round(options, kea, proxies, directory, lease_count, same, samples):
    """One run of every client at every delay, then the tool without the proxy (whose file must
    hold the same bytes as well)."""
    for delay, proxy in proxies.items():
        runs = samples[delay]
        for text, kind in ((True, "text"), (False, "xml")):
            wall, probe, connections = slow_tool_run(options, kea, proxy, directory, text,
                                                     lease_count)
            runs[kind].append(wall)
            runs["probe"].append(probe)
            runs["connections"].add(connections)
            runs["identical"] &= same.check(tool_file(directory, text), f"{delay} ms")
        if options.before and delay in options.before_delays:
            wall, probe, _ = slow_tool_run(options, kea, proxy, directory, True, lease_count,
                                           options.before)
            runs["before"].append(wall)
            runs["before probe"].append(probe)
            runs["identical"] &= same.check(tool_file(directory, True), f"{delay} ms before")
        with Probe(kea.socket_path) as probe:
            runs["curl"].append(curl_get_all(kea, directory, proxy.port)[0])
        runs["curl probe"].append(probe.longest)
    wall, _, output = run_tool(options.build, kea.server_text, directory, True)
    check_every_lease(output, lease_count)
    samples["baseline"].append(wall)
    same.check(tool_file(directory, True), "no proxy")


def measure_slow_link(options, path, release_name, lease_count, subnet_count, directory, delays):
    """The tool, curl's lease4-get-all and a probe of the control socket through a delay proxy
    in front of the path's HTTP endpoint, at each delay."""
    release = kea_release(release_name)
    if release is None or path == "unix":
        reason = "a TCP path" if path == "unix" else "root and scripts/make-kea-chroots"
        print(f"# {path}@{release_name}: skipped (needs {reason})")
        return None
    subnets, leases = generated_network(lease_count, subnet_count)
    with contextlib.ExitStack() as stack:
        kea = sandbox(stack, subnets, leases, path, release, "memfile")
        version = kea.command("version-get")[0].get("text", "").split()[0]
        proxies = {delay: stack.enter_context(DelayProxy(("127.0.0.1", kea.port), delay / 1000))
                   for delay in delays}
        for _ in range(2):  # warm-up: the server's first walks of its leases are slower
            bare_page_walk(kea, TOOL_PAGE_LIMIT)
        same = SameBytes(directory)
        samples = {"baseline": []}
        samples.update({delay: {"text": [], "xml": [], "curl": [], "probe": [], "curl probe": [],
                                "before": [], "before probe": [], "connections": set(),
                                "identical": True} for delay in delays})
        # Every delay in every round, so that a slow moment of the machine falls on all alike.
        for _ in range(options.runs):
            slow_link_round(options, kea, proxies, directory, lease_count, same, samples)
    return {"name": f"{path}@{release_name} (Kea {version})", "samples": samples,
            "differing": same.differing}


def print_slow_link_table(scenario, results, skipped):
    print(f"\n{scenario}\n")
    print("| path | delay ms | tool /text s | tool XML s | curl get-all s | tool /text ÷ curl | "
          "longest probe wait s (during curl) | connections | bytes identical | "
          "tool /text without proxy s | --before /text s (probe s) |")
    print("|---|---|---|---|---|---|---|---|---|---|---|")
    for r in results:
        baseline = statistics.median(r["samples"]["baseline"])
        for delay, runs in r["samples"].items():
            if delay == "baseline":
                continue
            text, xml = statistics.median(runs["text"]), statistics.median(runs["xml"])
            curl = statistics.median(runs["curl"])
            connections = "/".join(str(c) for c in sorted(runs["connections"]))
            before = (f"{statistics.median(runs['before']):.2f} ({max(runs['before probe']):.3f})"
                      if runs["before"] else "")
            print(f"| {r['name']} | {delay} | {text:.2f} | {xml:.2f} | {curl:.2f} | "
                  f"{text / curl:.2f}x | {max(runs['probe']):.3f} ({max(runs['curl probe']):.3f}) "
                  f"| {connections} | {'yes' if runs['identical'] else 'NO'} | {baseline:.2f} | "
                  f"{before} |")
        for delay in skipped:
            print(f"| {r['name']} | {delay} | skipped | | | | | | | | |")


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


def slow_link_scenario(options, scenario, directory, title):
    """The slow-link table of one scenario; True when a file differed between delays."""
    lease_count, subnet_count = (int(part) for part in scenario.split("x"))
    delays = [d for d in options.delays if (scenario, str(d)) not in options.skip]
    skipped = [d for d in options.delays if d not in delays]
    results = []
    for entry in options.paths.split(","):
        path, _, release_name = entry.partition("@")
        result = measure_slow_link(options, path, release_name, lease_count, subnet_count,
                                   directory, delays)
        if result is not None:
            results.append(result)
            print(f"# done: {result['name']} at {scenario}", flush=True)
    print_slow_link_table(f"{title}, through the delay proxy (ms each way)", results, skipped)
    differing = [f"{r['name']}: {label}" for r in results for label in r["differing"]]
    if differing:
        print(f"\nDIFFERENT BYTES at {scenario}: {', '.join(differing)}", file=sys.stderr)
    return bool(differing)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--paths", default="agent@host,direct@sid,unix@sid")
    parser.add_argument("--scenarios", default="200000x4,1000000x1")
    parser.add_argument("--limits", default="",
                        help="page sizes for the bare client to compare, e.g. 500,1000,2000,5000")
    parser.add_argument("--before", default="",
                        help="the build of an earlier tool to time beside it on the slow link")
    parser.add_argument("--before-delays", default="0",
                        help="the delays at which --before runs, e.g. 0,25")
    parser.add_argument("--delays", default="",
                        help="milliseconds each way of a slow link to measure instead, e.g. 0,25")
    parser.add_argument("--skip", default="",
                        help="scenarios at delays to leave out of the slow link, e.g. 1000000x1@25")
    options = parser.parse_args()
    options.limits = [int(limit) for limit in options.limits.split(",") if limit]
    options.delays = [int(delay) for delay in options.delays.split(",") if delay]
    options.before_delays = [int(delay) for delay in options.before_delays.split(",") if delay]
    options.skip = {tuple(entry.split("@")) for entry in options.skip.split(",") if entry}
    failed = False
    with tempfile.TemporaryDirectory(dir="/dev/shm", prefix="leasedump-kea-bench-") as directory:
        for scenario in options.scenarios.split(","):
            lease_count, subnet_count = (int(part) for part in scenario.split("x"))
            title = f"{lease_count} leases in {subnet_count} subnet(s), median of {options.runs} runs"
            if options.delays:
                failed |= slow_link_scenario(options, scenario, directory, title)
                continue
            results = []
            for entry in options.paths.split(","):
                path, _, where = entry.partition("@")
                release_name, _, database = where.partition("+")
                result = measure_path(options, path, release_name, database or "memfile",
                                      lease_count, subnet_count, directory)
                if result is not None:
                    results.append(result)
                    print(f"# done: {result['name']} at {scenario}", flush=True)
            print_table(title, results)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
