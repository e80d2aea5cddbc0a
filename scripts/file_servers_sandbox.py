#!/usr/bin/env python3
"""Throw-away ISC dhcpd and dnsmasq servers that real DHCP clients get leases from.

A LAN of network namespaces that this script makes (names unique to the process): the server's
namespace holds two bridges, one for each subnet (192.0.2.1/25 and 192.0.2.129/25), each client a
namespace of its own behind a veth pair on the bridge of its subnet, so no packet leaves what the
script made. The server is the
packaged binary run directly (never its service) with a configuration, lease file and pid file
in a temporary folder; clients are busybox `udhcpc` and ISC `dhclient`, with scripts that touch
nothing (the namespaces share /etc). Everything started is stopped by its PID, and the namespaces
are removed, on leaving the `with` blocks, on SIGTERM and when this process dies.

    with Lan() as lan, DhcpdServer(lan) as server:     # or DnsmasqServer(lan)
        lan.obtain(Client("udhcpc", "busybox-client", "02:00:00:00:02:01"))
        lan.obtain(Client("dhclient", "isc-client", "02:00:00:00:02:02", subnet=1, release=True))
        text = server.lease_file_text()
        server.config_path                              # the configuration, for leasedump

Run as a program, it serves the clients above (one releasing its lease) and copies the server's
configuration and lease file into a folder, which is how fuzz/corpus/ got its real files:
    python3 scripts/file_servers_sandbox.py dhcpd OUT_FOLDER
    python3 scripts/file_servers_sandbox.py dnsmasq OUT_FOLDER
It needs root (namespaces), iproute2, busybox, isc-dhcp-client, isc-dhcp-server, dnsmasq-base
(scripts/install-packages installs them).
"""

import argparse
import ctypes
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
from dataclasses import dataclass

from sandbox_host import apparmor_confines, namespaces_can_be_made, remove_namespaces  # noqa: F401

# One bridge for each subnet, with the server's address in it; a client draws from the pool of the
# subnet whose bridge it is on.
BRIDGES = ("br0", "br1")
SERVER_ADDRESSES = ("192.0.2.1/25", "192.0.2.129/25")
NETWORKS = ("192.0.2.0/25", "192.0.2.128/25")
POOLS = (("192.0.2.100", "192.0.2.120"), ("192.0.2.200", "192.0.2.220"))
LEASE_SECONDS = 3600
# The bridge and the servers' raw sockets take a moment before the first answer.
SETTLE_SECONDS = 2
ATTEMPTS = 4
STOP_TIMEOUT_SECONDS = 10
READY_TIMEOUT_SECONDS = 20


@dataclass(frozen=True)
class Client:
    program: str  # "udhcpc" or "dhclient"
    host_name: str
    mac: str  # "02:00:00:00:02:01"
    subnet: int = 0  # the index of the subnet (and bridge) it is on
    release: bool = False  # give the lease back once it is had (dhclient only)


SAMPLE_CLIENTS = (
    Client("udhcpc", "busybox-client", "02:00:00:00:02:01"),
    Client("dhclient", "isc-client", "02:00:00:00:02:02"),
    Client("udhcpc", "Second-Busybox", "02:00:00:00:02:03", subnet=1),
    Client("dhclient", "leaving-client", "02:00:00:00:02:04", subnet=1, release=True),
)


def _die_with_parent():
    """Runs in a child before exec: the kernel sends it SIGTERM when its parent dies."""
    PR_SET_PDEATHSIG = 1
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


def _raise_system_exit(signum, _frame):
    raise SystemExit(128 + signum)


def _run(command, timeout=30):
    return subprocess.run(command, check=True, capture_output=True, text=True, timeout=timeout)


def ip(*arguments, namespace=None):
    prefix = ["ip", "netns", "exec", namespace] if namespace else []
    _run([*prefix, "ip", *arguments])


def server_program(name, folder):
    """The packaged server binary, or a copy of it in `folder` where AppArmor's profile for the
    package would keep it from files outside its own folders (dhcpd's allows lease files only
    under /var/lib/dhcp); a copy at another path is not attached to the profile."""
    installed = shutil.which(name, path="/usr/sbin:/sbin:" + os.environ.get("PATH", ""))
    if installed is None:
        raise RuntimeError(f"{name} not found: scripts/install-packages installs it")
    if not apparmor_confines(name):
        return installed
    copy = os.path.join(folder, name)
    shutil.copy2(installed, copy)
    return copy


class Lan:
    """The namespaces: the server's with its bridge, and one per client that `obtain` makes."""

    def __init__(self):
        self.tag = f"{os.getpid()}-{threading.get_ident() % 100000}"
        self.server_namespace = f"leasedump-srv-{self.tag}"
        self.folder = None
        self._namespaces = []
        self._clients = 0
        self._previous_sigterm = None

    def __enter__(self):
        if threading.current_thread() is threading.main_thread():
            self._previous_sigterm = signal.signal(signal.SIGTERM, _raise_system_exit)
        try:
            self.folder = tempfile.mkdtemp(prefix="leasedump-lan-")
            self._make_namespace(self.server_namespace)
            for bridge, address in zip(BRIDGES, SERVER_ADDRESSES):
                ip("link", "add", bridge, "type", "bridge", "forward_delay", "0",
                   namespace=self.server_namespace)
                ip("address", "add", address, "dev", bridge, namespace=self.server_namespace)
                ip("link", "set", bridge, "up", namespace=self.server_namespace)
        except BaseException:
            self.__exit__()
            raise
        return self

    def __exit__(self, *_exc):
        remove_namespaces(self._namespaces)
        self._namespaces = []
        if self.folder:
            shutil.rmtree(self.folder, ignore_errors=True)
            self.folder = None
        if self._previous_sigterm is not None:
            signal.signal(signal.SIGTERM, self._previous_sigterm)
            self._previous_sigterm = None

    def in_server(self, command):
        return ["ip", "netns", "exec", self.server_namespace, *command]

    def _make_namespace(self, name):
        _run(["ip", "netns", "add", name])
        self._namespaces.append(name)
        ip("link", "set", "lo", "up", namespace=name)

    def _attach_client(self, mac, subnet):
        """A namespace whose eth0 (with that MAC) is a port of the bridge of the subnet."""
        index = self._clients
        self._clients += 1
        namespace = f"leasedump-cl{index}-{self.tag}"
        self._make_namespace(namespace)
        port = f"port{index}"
        ip("link", "add", port, "netns", self.server_namespace, "type", "veth", "peer", "name",
           "eth0", "netns", namespace, "address", mac)
        ip("link", "set", port, "master", BRIDGES[subnet], "up",
           namespace=self.server_namespace)
        ip("link", "set", "eth0", "up", namespace=namespace)
        return index, namespace

    def obtain(self, client):
        """Runs the client until it has a lease (and, for a releasing client, has given it back
        again)."""
        index, namespace = self._attach_client(client.mac, client.subnet)
        prefix = ["ip", "netns", "exec", namespace]
        if client.program == "udhcpc":
            self._run_udhcpc(prefix, client)
        elif client.program == "dhclient":
            self._run_dhclient(prefix, client, index)
        else:
            raise ValueError(f"no such client program: {client.program}")

    def _run_udhcpc(self, prefix, client):
        # Quits once leased (-q), releasing the lease as it quits when asked (-R); its script
        # does nothing, so the interface stays as it is.
        if client.release:
            raise ValueError("only dhclient clients release their lease here")
        command = ["busybox", "udhcpc", "-i", "eth0", "-q", "-n", "-t", "3", "-T", "2", "-s",
                   "/bin/true", "-x", f"hostname:{client.host_name}"]
        result = None
        for _ in range(ATTEMPTS):
            result = subprocess.run([*prefix, *command], capture_output=True, text=True,
                                    timeout=60)
            if result.returncode == 0:
                return
        raise RuntimeError(f"udhcpc got no lease: {result.stdout[-1000:]}{result.stderr[-1000:]}")

    def _run_dhclient(self, prefix, client, index):
        """dhclient in the foreground (a daemon that it left behind would be nobody's child)
        until its lease file holds a lease; it retries on its own. A releasing client then runs
        once more with -r, which sends the release from the leased address: its script
        configures nothing, so the address is put on the interface first."""
        config, leases, pid = (os.path.join(self.folder, f"dhclient{index}.{suffix}")
                               for suffix in ("conf", "leases", "pid"))
        with open(config, "w") as file:
            file.write(f'send host-name "{client.host_name}";\ntimeout 20;\nretry 1;\n')
        common = ["-cf", config, "-sf", "/bin/true", "-lf", leases, "-pf", pid]
        process = subprocess.Popen([*prefix, "dhclient", "-d", "-1", *common, "eth0"],
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL, preexec_fn=_die_with_parent)
        try:
            deadline = time.monotonic() + 30
            while process.poll() is None and time.monotonic() < deadline:
                if os.path.exists(leases) and "fixed-address" in _text_of(leases):
                    break
                time.sleep(0.2)
            else:
                raise RuntimeError(f"dhclient got no lease (it ended with {process.poll()})")
        finally:
            process.terminate()
            process.wait(timeout=STOP_TIMEOUT_SECONDS)
        if client.release:
            address = _leased_address(leases)
            ip("address", "add", f"{address}/25", "dev", "eth0", namespace=prefix[-1])
            subprocess.run([*prefix, "dhclient", "-r", *common, "eth0"], check=True,
                           stdin=subprocess.DEVNULL, capture_output=True, timeout=60)


def _text_of(path):
    with open(path, errors="replace") as file:
        return file.read()


def _leased_address(dhclient_leases):
    """The address of the last lease in a dhclient lease file."""
    address = None
    with open(dhclient_leases) as file:
        for line in file:
            words = line.split()
            if len(words) == 2 and words[0] == "fixed-address":
                address = words[1].rstrip(";")
    if address is None:
        raise RuntimeError("dhclient's lease file holds no lease")
    return address


class _Server:
    """A DHCP server of the LAN: its folder, its process, its files."""

    program = None

    def __init__(self, lan):
        self.lan = lan
        self.folder = None
        self._process = None

    @property
    def config_path(self):
        return os.path.join(self.folder, self.config_name)

    @property
    def lease_path(self):
        return os.path.join(self.folder, self.lease_name)

    @property
    def pid_path(self):
        return os.path.join(self.folder, f"{self.program}.pid")

    def lease_file_text(self):
        with open(self.lease_path, "rb") as file:
            return file.read()

    def __enter__(self):
        try:
            self.folder = tempfile.mkdtemp(prefix=f"leasedump-{self.program}-")
            os.chmod(self.folder, 0o755)
            with open(self.config_path, "w") as config:
                config.write(self.config_text())
            open(self.lease_path, "a").close()
            command = self.command(server_program(self.program, self.folder))
            self._log = open(os.path.join(self.folder, f"{self.program}.out"), "w")
            self._process = subprocess.Popen(self.lan.in_server(command),
                                             stdin=subprocess.DEVNULL, stdout=self._log,
                                             stderr=subprocess.STDOUT,
                                             preexec_fn=_die_with_parent)
            self._wait_until_ready()
            time.sleep(SETTLE_SECONDS)
        except BaseException:
            self.__exit__()
            raise
        return self

    def __exit__(self, *_exc):
        if self._process is not None:
            if self._process.poll() is None:
                self._process.terminate()
            try:
                self._process.wait(timeout=STOP_TIMEOUT_SECONDS)
            except subprocess.TimeoutExpired:
                self._process.kill()
                self._process.wait()
            self._process = None
            self._log.close()
        if self.folder:
            shutil.rmtree(self.folder, ignore_errors=True)
            self.folder = None

    def log_tail(self, lines=30):
        path = os.path.join(self.folder or "", f"{self.program}.out")
        if not os.path.exists(path):
            return ""
        with open(path, errors="replace") as log:
            return "".join(log.readlines()[-lines:])

    def _wait_until_ready(self):
        deadline = time.monotonic() + READY_TIMEOUT_SECONDS
        while time.monotonic() < deadline:
            if self._process.poll() is not None:
                raise RuntimeError(f"{self.program} ended at start:\n{self.log_tail()}")
            if os.path.exists(self.pid_path) and os.path.getsize(self.pid_path) > 0:
                return
            time.sleep(0.1)
        raise RuntimeError(f"{self.program} did not start:\n{self.log_tail()}")


class DhcpdServer(_Server):
    """ISC dhcpd serving both subnets, the first inside a shared network, the second at the top
    (from an included file)."""

    program = "dhcpd"
    config_name = "dhcpd.conf"
    lease_name = "dhcpd.leases"

    def config_text(self):
        first, second = (
            f"subnet {network.split('/')[0]} netmask 255.255.255.128 {{\n"
            f"  range {low} {high};\n}}\n" for network, (low, high) in zip(NETWORKS, POOLS))
        included = os.path.join(self.folder, "second-subnet.conf")
        with open(included, "w") as file:
            file.write(second)
        # Without the ping dhcpd sends before each offer, which only slows the clients here.
        return (f"# leasedump's sandbox\nauthoritative;\nddns-update-style none;\n"
                f"ping-check false;\ndefault-lease-time {LEASE_SECONDS};\n"
                f"max-lease-time {LEASE_SECONDS};\n"
                f'lease-file-name "{self.lease_path}";\n'
                f"shared-network lan {{\n{first}}}\n"
                f'include "{included}";\n')

    def command(self, program):
        return [program, "-4", "-f", "-d", "-cf", self.config_path, "-lf", self.lease_path,
                "-pf", self.pid_path, *BRIDGES]


class DnsmasqServer(_Server):
    """dnsmasq serving one range in each subnet, its DNS off (and without the ping that it sends
    before each offer, which only slows the clients here): the first range takes its netmask
    from the interface that holds it (the tool must then run in the server's namespace), the
    second names it."""

    program = "dnsmasq"
    config_name = "dnsmasq.conf"
    lease_name = "dnsmasq.leases"

    def config_text(self):
        (first_low, first_high), (second_low, second_high) = POOLS
        ranges = (f"dhcp-range={first_low},{first_high},{LEASE_SECONDS}\n"
                  f"dhcp-range=set:second,{second_low},{second_high},255.255.255.128,"
                  f"{LEASE_SECONDS}\n")
        interfaces = "".join(f"interface={bridge}\n" for bridge in BRIDGES)
        return (f"# leasedump's sandbox\nport=0\nno-resolv\nno-hosts\n{interfaces}"
                f"bind-interfaces\ndhcp-authoritative\nno-ping\n{ranges}"
                f"dhcp-leasefile={self.lease_path}\npid-file={self.pid_path}\n")

    def command(self, program):
        return [program, "--keep-in-foreground", "--log-facility=-", "--user=root",
                "--group=root", f"--conf-file={self.config_path}"]


SERVERS = {"dhcpd": DhcpdServer, "dnsmasq": DnsmasqServer}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("server", choices=sorted(SERVERS))
    parser.add_argument("out", help="folder for the server's configuration and lease file")
    arguments = parser.parse_args()
    reason = namespaces_can_be_made()
    if reason:
        sys.exit(reason)
    os.makedirs(arguments.out, exist_ok=True)
    with Lan() as lan, SERVERS[arguments.server](lan) as server:
        for client in SAMPLE_CLIENTS:
            lan.obtain(client)
        time.sleep(1)
        for path in (server.config_path, server.lease_path):
            shutil.copy(path, arguments.out)
        print(server.log_tail(), file=sys.stderr)
    print(f"{arguments.server}: configuration and lease file in {arguments.out}")


if __name__ == "__main__":
    main()
