"""Leases that real DHCP clients obtained from kea-dhcp4, exported by leasedump.

kea-dhcp4 serves a bridge in a network namespace of its own on 192.0.2.0/24; each client (busybox
udhcpc, ISC dhclient) sits in a namespace of its own behind a veth pair on that bridge, so no
packet leaves the namespaces this test makes. The tool reaches the server through the agent on
127.0.0.1, which talks to kea-dhcp4 over its UNIX socket across the namespaces.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.environ["LEASEDUMP_SOURCE_DIR"], "scripts"))
from kea_sandbox import KeaSandbox, Subnet  # noqa: E402
from sandbox_host import namespaces_can_be_made, remove_namespaces  # noqa: E402
from program_runs import save_with_leasedump  # noqa: E402

sys.path.insert(0, os.path.join(os.environ["LEASEDUMP_SOURCE_DIR"], "tests", "support"))
from served_leases import assert_saved_as_served  # noqa: E402

SUBNET = Subnet(1, "192.0.2.0/24", pool="192.0.2.100-192.0.2.150")
SERVER_ADDRESS = "192.0.2.1/24"
# (program, the host name it asks for, its MAC)
CLIENTS = [
    ("udhcpc", "busybox-client", "02:00:00:00:02:01"),
    ("dhclient", "isc-client", "02:00:00:00:02:02"),
    ("udhcpc", "Second-Busybox", "02:00:00:00:02:03"),
]
# The bridge and kea-dhcp4's raw socket take a moment before the first answer.
SETTLE_SECONDS = 3
ATTEMPTS = 4


def ip(*arguments, namespace=None):
    prefix = ["ip", "netns", "exec", namespace] if namespace else []
    subprocess.run([*prefix, "ip", *arguments], check=True, capture_output=True, timeout=30)


class Namespaces:
    """Network namespaces made by this test, and removed with every process in them."""

    def __init__(self):
        self.names = []

    def make(self, name):
        subprocess.run(["ip", "netns", "add", name], check=True, capture_output=True, timeout=30)
        self.names.append(name)
        ip("link", "set", "lo", "up", namespace=name)
        return name

    def remove_all(self):
        remove_namespaces(self.names)
        self.names = []


class RealDhcpClients(unittest.TestCase):
    def setUp(self):
        reason = namespaces_can_be_made()
        if reason:
            self.skipTest(reason)
        for program in ("busybox", "dhclient"):
            self.assertIsNotNone(shutil.which(program), f"{program} is missing: "
                                 "scripts/install-packages installs it")
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)
        self.namespaces = Namespaces()
        self.addCleanup(self.namespaces.remove_all)
        self.tag = os.getpid()
        self.server_namespace = self.namespaces.make(f"leasedump-kea-{self.tag}")
        ip("link", "add", "br0", "type", "bridge", "forward_delay", "0",
           namespace=self.server_namespace)
        ip("address", "add", SERVER_ADDRESS, "dev", "br0", namespace=self.server_namespace)
        ip("link", "set", "br0", "up", namespace=self.server_namespace)

    def attach_client(self, index, mac):
        """A namespace whose eth0 (with that MAC) is a port of the server's bridge."""
        namespace = self.namespaces.make(f"leasedump-client{index}-{self.tag}")
        port = f"port{index}"
        ip("link", "add", port, "netns", self.server_namespace, "type", "veth", "peer", "name",
           "eth0", "netns", namespace, "address", mac)
        ip("link", "set", port, "master", "br0", "up", namespace=self.server_namespace)
        ip("link", "set", "eth0", "up", namespace=namespace)
        return namespace

    def obtain_lease(self, program, name, index, namespace):
        prefix = ["ip", "netns", "exec", namespace]
        if program == "udhcpc":
            # Quits once leased, without touching the interface (the script does nothing).
            command = ["busybox", "udhcpc", "-i", "eth0", "-q", "-n", "-t", "3", "-T", "2",
                       "-s", "/bin/true", "-x", f"hostname:{name}"]
            for _ in range(ATTEMPTS):
                result = subprocess.run([*prefix, *command], capture_output=True, text=True,
                                        timeout=60)
                if result.returncode == 0:
                    return
            self.fail(f"udhcpc got no lease: {result.stdout[-1000:]}{result.stderr[-1000:]}")
        self.run_dhclient(prefix, name, index)

    def run_dhclient(self, prefix, name, index):
        """dhclient in the foreground (a daemon that it left behind would be nobody's child)
        until its lease file holds a lease; it retries on its own."""
        config, leases = (os.path.join(self.folder.name, f"dhclient{index}.{suffix}")
                          for suffix in ("conf", "leases"))
        with open(config, "w") as file:
            file.write(f'send host-name "{name}";\ntimeout 20;\nretry 1;\n')
        client = subprocess.Popen(
            [*prefix, "dhclient", "-d", "-1", "-cf", config, "-sf", "/bin/true", "-lf", leases,
             "-pf", os.path.join(self.folder.name, f"dhclient{index}.pid"), "eth0"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            deadline = time.monotonic() + 30
            while client.poll() is None and time.monotonic() < deadline:
                if os.path.exists(leases) and "fixed-address" in open(leases).read():
                    return
                time.sleep(0.2)
            self.fail(f"dhclient got no lease (it ended with {client.poll()})")
        finally:
            client.terminate()
            client.wait(timeout=10)

    def test_leases_of_real_clients_are_exported(self):
        namespaces = [self.attach_client(i, mac) for i, (_, _, mac) in enumerate(CLIENTS)]
        with KeaSandbox([SUBNET], interfaces=["br0"], namespace=self.server_namespace) as kea:
            time.sleep(SETTLE_SECONDS)
            for index, (program, name, _) in enumerate(CLIENTS):
                self.obtain_lease(program, name, index, namespaces[index])
            _, xml = save_with_leasedump(kea.server_text)
            _, text = save_with_leasedump(kea.server_text, ["/text"])
            served = assert_saved_as_served(self, kea, xml["DHCP.xml"], text["DHCP.xml"])
        self.assertEqual(sorted((name.lower(), mac) for name, _, mac in served),
                         sorted((name.lower(), mac.replace(":", "-").upper())
                                for _, name, mac in CLIENTS))


if __name__ == "__main__":
    outcome = unittest.main(verbosity=2, exit=False).result
    skipped_all = outcome.testsRun > 0 and len(outcome.skipped) == outcome.testsRun
    # 77 tells ctest that the test was skipped, not passed.
    sys.exit(77 if outcome.wasSuccessful() and skipped_all else int(not outcome.wasSuccessful()))
