"""The demo as a newcomer runs it: Enter at both questions saves the sample leases when the
default server answer reaches the demo's Kea; when it would not (port 8000 taken, or a local Kea
socket found first), the demo says why and the server text it prints saves them instead.

Port 8000 is the one port these tests do not choose: the demo exists to serve there. They run
alone (scripts/test-packages), never beside the suite, whose tests may hold it or the socket."""

import importlib.machinery
import importlib.util
import ipaddress
import os
import socket
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.abspath(os.path.join(HERE, os.pardir, os.pardir))
DEMO_PATH = os.path.join(SOURCE, "scripts", "demo")
sys.path.insert(0, os.path.join(SOURCE, "scripts"))
from kea_sandbox import free_port, sample_network  # noqa: E402

RUN_SECONDS = 300  # the demo builds the program first


def load_demo():
    loader = importlib.machinery.SourceFileLoader("demo", DEMO_PATH)
    spec = importlib.util.spec_from_loader("demo", loader)
    module = importlib.util.module_from_spec(spec)
    loader.exec_module(module)
    return module


DEMO = load_demo()


def expected_records():
    """The sample leases as the file holds them: the subnets in Kea's order (plain ones, then
    those of shared networks), each in ascending address order."""
    subnets, leases = sample_network()
    order = [s.id for s in subnets if not s.shared_network] + \
        [s.id for s in subnets if s.shared_network]
    ordered = sorted(leases, key=lambda lease: (order.index(lease.subnet_id),
                                                ipaddress.IPv4Address(lease.address)))
    return [(lease.hostname.removesuffix("."), lease.address,
             lease.hwaddr.upper().replace(":", "-")) for lease in ordered]


def records_in(folder):
    root = ElementTree.parse(os.path.join(folder, "DHCP.xml")).getroot()
    return [tuple(address.findtext(field) or "" for field in ("hostname", "ip", "mac"))
            for address in root]


def listener(port):
    """A socket listening on 127.0.0.1:`port`, or None when something else holds it already."""
    holder = socket.socket()
    holder.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    try:
        holder.bind(("127.0.0.1", port))
    except OSError:
        holder.close()
        return None
    holder.listen()
    return holder


class WhereTheDemoServes(unittest.TestCase):
    def test_default_port_unless_taken_or_a_local_socket_comes_first(self):
        with tempfile.TemporaryDirectory() as folder:
            local_socket = os.path.join(folder, "kea4-ctrl-socket")
            plain_file = os.path.join(folder, "not-a-socket")
            open(plain_file, "w").close()
            served = socket.socket(socket.AF_UNIX)
            served.bind(local_socket)
            self.addCleanup(served.close)
            port = free_port()
            holder = listener(free_port())
            self.addCleanup(holder.close)
            cases = {
                "nothing in the way": (port, os.path.join(folder, "missing"), port),
                "a file that is no socket": (port, plain_file, port),
                "a local socket first": (port, local_socket, None),
                "the port taken": (holder.getsockname()[1], os.path.join(folder, "missing"),
                                   None),
            }
            for name, (wanted, kea_socket, chosen) in cases.items():
                with self.subTest(name):
                    got, reasons = DEMO.where_to_serve(wanted, kea_socket, ())
                    self.assertEqual(got, chosen)
                    self.assertEqual(bool(reasons), chosen is None)
            _, reasons = DEMO.where_to_serve(port, local_socket, ())
            self.assertIn(local_socket, reasons[0])
            # A pid file that names a live process of the server's name comes first too; one
            # whose process has ended, or runs another program, does not.
            with open(f"/proc/{os.getpid()}/comm") as comm:
                own_name = comm.read().strip()
            live, stale = os.path.join(folder, "live.pid"), os.path.join(folder, "stale.pid")
            with open(live, "w") as file:
                file.write(f"{os.getpid()}\n")
            ended = subprocess.Popen(["true"])
            ended.wait()
            with open(stale, "w") as file:
                file.write(f"{ended.pid}\n")
            missing = os.path.join(folder, "missing")
            for pid_files, chosen in (([(live, own_name)], None), ([(live, "dhcpd")], port),
                                      ([(stale, "true")], port)):
                with self.subTest(pid_files=pid_files):
                    got, reasons = DEMO.where_to_serve(port, missing, pid_files)
                    self.assertEqual(got, chosen)
                    self.assertEqual(bool(reasons), chosen is None)


class DemoRuns(unittest.TestCase):
    def start_demo(self, folder):
        return subprocess.Popen([DEMO_PATH], cwd=folder, stdin=subprocess.PIPE,
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT)

    def finish(self, demo, answers):
        try:
            output, _ = demo.communicate(answers, timeout=RUN_SECONDS)
        finally:
            if demo.poll() is None:
                demo.kill()
                demo.wait()
        return output.decode(errors="replace")

    def test_enter_enter_saves_the_sample_leases(self):
        with tempfile.TemporaryDirectory() as folder:
            output = self.finish(self.start_demo(folder), b"\n\n\n")
            if "The default server answer will not do" in output:
                self.skipTest("the default server answer cannot reach the demo here: " +
                              output.split("will not do: ", 1)[1].split("\n", 1)[0])
            self.assertIn("Press Enter at both questions", output)
            self.assertIn(f"Queried {len(expected_records())} entries from server 127.0.0.1.",
                          output)
            self.assertEqual(sorted(os.listdir(folder)), ["DHCP.xml"])
            self.assertEqual(records_in(folder), expected_records())
            self.assertTrue(output.rstrip().endswith("Kea has been stopped."), output[-500:])

    def test_taken_port_is_said_and_the_printed_server_text_saves_them(self):
        holder = listener(DEMO.DEFAULT_PORT)  # None: something else holds it, as wanted
        if holder is not None:
            self.addCleanup(holder.close)
        with tempfile.TemporaryDirectory() as folder:
            demo = self.start_demo(folder)
            shown = []
            try:
                for line in demo.stdout:
                    shown.append(line.decode(errors="replace"))
                    if "type the server:" in shown[-1]:
                        break
            except BaseException:
                demo.kill()
                raise
            server_text = shown[-1].split("type the server:", 1)[1].strip()
            output = "".join(shown) + self.finish(demo, f"{server_text}\n\n\n".encode())
            self.assertRegex(output, r"The default server answer will not do: "
                                     r"(127\.0\.0\.1:8000 is taken|\S+ exists)")
            self.assertNotEqual(server_text, "127.0.0.1:8000")
            self.assertIn(f"Queried {len(expected_records())} entries from server {server_text}.",
                          output)
            self.assertEqual(records_in(folder), expected_records())


if __name__ == "__main__":
    unittest.main(verbosity=2)
