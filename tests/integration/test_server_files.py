"""The program against dhcpd's and dnsmasq's files written by hand: which leases a lease file's
declarations leave exported, the errors of files that cannot be read, a lease file rewritten in
place while it is exported, and the default answer finding the server that runs on a machine of
the test's own (a private mount and network namespace where Debian's places are the test's)."""

import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest

sys.path.insert(0, os.path.join(os.environ["LEASEDUMP_SOURCE_DIR"], "tests", "integration"))
from program_runs import (LEASEDUMP, checked_run, console_lines, error_line,  # noqa: E402
                          save_with_leasedump)

sys.path.insert(0, os.path.join(os.environ["LEASEDUMP_SOURCE_DIR"], "tests", "support"))
from result_files import records_of_text, records_of_xml  # noqa: E402

DHCPD_LEASES = rb'''# The format of this file is documented in the dhcpd.leases(5) manual page.
# This lease file was written by isc-dhcp-4.4.3-P1

# authoring-byte-order entry is generated, DO NOT DELETE
authoring-byte-order little-endian;

server-duid "\000\001\000\0012\252=\252\322\300e\253fv";

failover peer "partner" state {
  my state normal at 2 2026/12/08 04:00:00;
  partner state normal at 2 2026/12/08 04:00:00;
  mclt 3600;
}

host printer {
  dynamic;
  hardware ethernet 00:11:22:33:44:55;
  fixed-address 10.1.0.250;
}
lease 10.1.0.20 {
  starts 2 2026/12/08 04:00:00;
  ends 2 2026/12/08 05:00:00;
  binding state active;
  next binding state free;
  rewind binding state free;
  hardware ethernet 00:16:3e:00:01:20;
  client-hostname "old-name";
}
lease 10.1.0.21 {
  binding state active;
  next binding state free;
  hardware ethernet 00:16:3e:00:01:21;
  client-hostname "gave-it-back";
}
lease 10.1.0.22 {
  binding state free;
  hardware ethernet 00:16:3e:00:01:22;
}
lease 10.1.0.23 {
  starts 3 2020/01/01 00:00:00;
  ends 3 2020/01/01 01:00:00;
  binding state expired;
  next binding state free;
  hardware ethernet 00:16:3e:00:01:23;
  client-hostname "expired-one";
}
lease 10.1.0.24 {
  binding state released;
  next binding state free;
  hardware ethernet 00:16:3e:00:01:24;
  client-hostname "released-one";
}
lease 10.1.0.25 { binding state abandoned; client-hostname "abandoned"; }
lease 10.1.0.26 { binding state backup; hardware ethernet 00:16:3e:00:01:26; }
lease 10.1.0.27 { binding state reset; hardware ethernet 00:16:3e:00:01:27; }
lease 10.1.0.9 {
  starts 2 2026/12/08 04:00:00;
  ends never;
  binding state active;
  next binding state free;
  hardware ethernet 00:16:3e:00:01:09;
  uid "\001\000\026>\000\001\011";
  set vendor-class-identifier = "MSFT 5.0";
  set ddns-fwd-name = "ddns-only.example.org.";
  on expiry {
    if exists agent.circuit-id { set x = "} {"; }
    on release { set y = "\"}"; }
  }
}
lease 10.1.0.20 {
  starts 2 2026/12/08 04:30:00;
  ends 2 2026/12/08 05:30:00;
  binding state active;
  next binding state free;
  rewind binding state free;
  hardware ethernet 00:16:3e:00:01:20;
  client-hostname "new-name";
}
lease 10.1.0.21 {
  binding state free;
  hardware ethernet 00:16:3e:00:01:21;
}
lease 10.1.0.22 {
  binding state active;
  next binding state free;
  hardware ethernet 00:16:3e:00:01:22;
  client-hostname "back-again"; # renewed after being freed
}
lease 10.2.5.7 {
  binding state active;
  hardware token-ring 00:16:3e:00:02:07;
  client-hostname "in \"quotes\" \\ back;semi";
}
lease 10.2.9.1 {
  binding state active;
  hardware ethernet 00:16:3e:00:02:91;
  client-hostname "caf\351 \303\251t\303\251";
}
lease 10.2.9.2 {
  binding state active;
  hardware ethernet 00:16:3e:00:02:92;
  client-hostname "cut\000here";
}
lease 10.3.0.5 {
  binding state active;
  hardware ethernet 02:00:00:00:03:05;
}
lease 10.9.9.9 {
  binding state active;
  hardware ethernet 00:16:3e:00:09:09;
  client-hostname "in-no-subnet";
}
lease 10.1.0.30 {
  starts 2 2026/12/08 04:40:00;
  binding state active;
  hardware ethernet 00:16:3e:00:01:30;
  client-hostname "being-writ'''

# What leasedump saves of DHCPD_LEASES, written out by hand: the subnets in the order of the
# configuration (10.2.5.0/24 is inside 10.2.0.0/16 and takes its leases), each address's last
# declaration, active, expired and released exported, free, abandoned, backup and reset not.
DHCPD_RECORDS = [
    ("ddns-only.example.org", "10.1.0.9", "00-16-3E-00-01-09"),
    ("new-name", "10.1.0.20", "00-16-3E-00-01-20"),
    ("back-again", "10.1.0.22", "00-16-3E-00-01-22"),
    ("expired-one", "10.1.0.23", "00-16-3E-00-01-23"),
    ("released-one", "10.1.0.24", "00-16-3E-00-01-24"),
    ("caf? \u00e9t\u00e9", "10.2.9.1", "00-16-3E-00-02-91"),
    ("cut", "10.2.9.2", "00-16-3E-00-02-92"),
    ('in "quotes" \\ back;semi', "10.2.5.7", "00-16-3E-00-02-07"),
    ("", "10.3.0.5", "02-00-00-00-03-05"),
]
DHCPD_POSITIONS = ["10.1.0.0", "10.2.0.0", "10.2.5.0", "10.3.0.0"]

DNSMASQ_LEASES = b"""1796715302 00:16:3e:00:05:01 10.5.0.11 laptop-1 01:00:16:3e:00:05:01
0 00:16:3e:00:05:02 10.5.0.12 * *
1796715302 06-00:16:3e:00:05:03 10.5.0.13 token.example. *
1796715302 20- 10.5.0.14 no-mac *
1796715302 00:16:3e:00:06:15 10.6.0.15 from-conf-dir *
1796715302 00:16:3e:00:09:99 10.9.0.1 in-no-subnet *
duid 00:01:00:01:2c:c4:ea:cd:02:00:00:00:00:01
1796715302 305419896 2001:db8::5 v6-host 00:01:00:01:2c:c4:ea:cd:02:00:00:00:00:05
"""
DNSMASQ_RECORDS = [
    ("laptop-1", "10.5.0.11", "00-16-3E-00-05-01"),
    ("", "10.5.0.12", "00-16-3E-00-05-02"),
    ("token.example", "10.5.0.13", "00-16-3E-00-05-03"),
    ("no-mac", "10.5.0.14", ""),
    ("from-conf-dir", "10.6.0.15", "00-16-3E-00-06-15"),
]


def text_name(name):
    return name.replace(";", "?")


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb" if isinstance(data, bytes) else "w") as file:
        file.write(data)


class ServerFolder:
    """A folder with a dhcpd and a dnsmasq configuration and their lease files, readable by
    anyone (the tool needs no more than read permission)."""

    def __init__(self, test):
        self.path = tempfile.mkdtemp(prefix="leasedump-files-")
        test.addCleanup(shutil.rmtree, self.path, True)
        os.chmod(self.path, 0o755)
        self.dhcpd_config = self.at("dhcpd.conf")
        self.dhcpd_leases = self.at("dhcpd.leases")
        self.dnsmasq_config = self.at("dnsmasq.conf")
        self.dnsmasq_leases = self.at("dnsmasq.leases")
        self.write_dhcpd_config(self.dhcpd_leases)
        write(self.at("more.conf"), "subnet 10.3.0.0 netmask 255.255.255.0 { }\n")
        write(self.dhcpd_leases, DHCPD_LEASES)
        write(self.dnsmasq_config,
              f"# dnsmasq, DHCP only\nport=0\ndhcp-range=tag:lan,10.5.0.10,10.5.0.99,"
              f"255.255.255.0,12h\nconf-dir={self.at('dnsmasq.d')},*.conf\n"
              f"dhcp-leasefile={self.dnsmasq_leases}\n")
        write(self.at("dnsmasq.d/lan.conf"), "dhcp-range=10.6.0.10,10.6.0.99,255.255.255.0\n")
        write(self.at("dnsmasq.d/old.conf.bak"), "dhcp-range=10.7.0.1,10.7.0.9,255.255.255.0\n")
        write(self.dnsmasq_leases, DNSMASQ_LEASES)

    def at(self, name):
        return os.path.join(self.path, name)

    def write_dhcpd_config(self, lease_file, subnets=True):
        body = ('subnet 10.1.0.0 netmask 255.255.255.0 { range 10.1.0.10 10.1.0.200; }\n'
                'shared-network campus {\n'
                '  subnet 10.2.0.0 netmask 255.255.0.0 { }\n'
                '  subnet 10.2.5.0 netmask 255.255.255.0 { }\n'
                '}\n'
                f'include "{self.at("more.conf")}";\n') if subnets else ""
        write(self.dhcpd_config, f'# written by hand\noption domain-name "example.org";\n'
                                 f'lease-file-name "{lease_file}";\n{body}')


def saved(test, server_text, prefix=()):
    """The console output, and the records of the XML and text files (each checked against the
    other), of two runs."""
    output, xml = save_with_leasedump(server_text, prefix=prefix)
    _, text = save_with_leasedump(server_text, ["/text"], prefix=prefix)
    records = records_of_xml(xml["DHCP.xml"]) if "DHCP.xml" in xml else []
    test.assertEqual(records_of_text(text["DHCP.xml"]) if "DHCP.xml" in text else [],
                     [(text_name(name), ip, mac) for name, ip, mac in records])
    return output, records


class WhatIsExported(unittest.TestCase):
    def test_dhcpd_lease_file(self):
        folder = ServerFolder(self)
        output, records = saved(self, folder.dhcpd_config)
        lines = console_lines(output)
        self.assertNotIn("Error:", output)
        self.assertIn("DHCP Subnet number = 4", lines)
        self.assertEqual([line[len("Reading position: "):] for line in lines
                          if line.startswith("Reading position: ")], DHCPD_POSITIONS)
        self.assertEqual(records, DHCPD_RECORDS)
        self.assertIn(f"Queried {len(DHCPD_RECORDS)} entries from server "
                      f"{folder.dhcpd_config}.", lines)

    def test_dnsmasq_lease_file(self):
        folder = ServerFolder(self)
        output, records = saved(self, folder.dnsmasq_config)
        self.assertNotIn("Error:", output)
        self.assertIn("DHCP Subnet number = 2", console_lines(output))
        self.assertEqual(records, DNSMASQ_RECORDS)


class FilesThatCannotBeRead(unittest.TestCase):
    def test_no_server_or_no_leases(self):
        """A configuration that cannot be read, or names no subnet, is no server: one error line
        and nothing asked further. A lease file that cannot be read or parsed fails each subnet
        with its error line, and nothing is saved."""
        folder = ServerFolder(self)
        write(folder.at("garbage.leases"), b"lease 10.1.0.1 {\n  binding state;\n}\n")
        os.mkdir(folder.at("a-folder"))
        cases = {
            "missing configuration": (folder.at("missing.conf"), None,
                                      "The RPC server is unavailable"),
            "no subnets": (folder.dhcpd_config, (folder.dhcpd_leases, False),
                           "The RPC server is unavailable"),
            "missing lease file": (folder.dhcpd_config, (folder.at("missing.leases"), True),
                                   "The system cannot find the file specified"),
            "lease file of another syntax": (folder.dhcpd_config,
                                             (folder.at("garbage.leases"), True),
                                             "The data is invalid"),
            "a folder as lease file": (folder.dhcpd_config, (folder.at("a-folder"), True),
                                       "The system cannot open the device or file specified"),
        }
        for name, (server_text, config, error) in cases.items():
            with self.subTest(name):
                if config is not None:
                    folder.write_dhcpd_config(*config)
                output, records = saved(self, server_text)
                lines = console_lines(output)
                self.assertEqual(records, [])
                per_subnet = config is not None and config[1]
                self.assertEqual(output.count(error_line(error)), 4 if per_subnet else 1)
                self.assertEqual("DHCP Subnet number = 4" in lines, per_subnet)
                self.assertIn(f"Queried 0 entries from server {server_text}.", lines)

    def test_read_permission_is_all_it_needs(self):
        """As a user without privileges: world-readable files export as for root, and a lease
        file that this user may not read is "Access is denied" for each subnet."""
        if os.geteuid() != 0 or shutil.which("setpriv") is None:
            self.skipTest("needs root and setpriv to run the tool as another user")
        folder = ServerFolder(self)
        as_nobody = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"]
        with tempfile.TemporaryDirectory() as out:
            os.chmod(out, 0o777)
            output = checked_run([*as_nobody, LEASEDUMP], f"{folder.dnsmasq_config}\n\n".encode(),
                                 cwd=out)
            self.assertNotIn("Error:", output)
            with open(os.path.join(out, "DHCP.xml"), "rb") as file:
                self.assertEqual(records_of_xml(file.read()), DNSMASQ_RECORDS)
        os.chmod(folder.dnsmasq_leases, 0o600)
        with tempfile.TemporaryDirectory() as out:
            os.chmod(out, 0o777)
            output = checked_run([*as_nobody, LEASEDUMP], f"{folder.dnsmasq_config}\n\n".encode(),
                                 cwd=out)
            self.assertEqual(output.count(error_line("Access is denied")), 2)
            self.assertEqual(os.listdir(out), [])


def rewrite_in_place(path, data, piece=37):
    """Truncates the file and writes `data` into it in pieces, as dnsmasq rewrites its lease
    file, only slower."""
    with open(path, "r+b") as file:
        file.truncate(0)
        for at in range(0, len(data), piece):
            file.write(data[at:at + piece])
            file.flush()
            time.sleep(0.001)


def dnsmasq_state(count, name):
    return b"".join(f"1796715302 02:00:00:00:07:{i:02x} 10.7.0.{i} {name}{i} *\n".encode()
                    for i in range(1, count + 1))


class RewrittenWhileExported(unittest.TestCase):
    def test_every_export_is_one_whole_state(self):
        folder = ServerFolder(self)
        write(folder.dnsmasq_config, f"port=0\ndhcp-range=10.7.0.1,10.7.0.99,255.255.255.0\n"
                                     f"dhcp-leasefile={folder.dnsmasq_leases}\n")
        states = [dnsmasq_state(30, "first"), dnsmasq_state(45, "second")]
        expected = [[(f"{name}{i}", f"10.7.0.{i}", f"02-00-00-00-07-{i:02X}")
                     for i in range(1, count + 1)] for count, name in ((30, "first"),
                                                                       (45, "second"))]
        write(folder.dnsmasq_leases, states[0])
        stop = threading.Event()
        rewrites = []

        def writer():
            while not stop.is_set():
                rewrite_in_place(folder.dnsmasq_leases, states[(len(rewrites) + 1) % 2])
                rewrites.append(1)
                # Still for a while now and then, and at once busy again at other times.
                time.sleep(0.4 if len(rewrites) % 3 == 0 else 0.02)

        thread = threading.Thread(target=writer)
        thread.start()
        try:
            exports = 0
            end = time.monotonic() + 3
            while time.monotonic() < end:
                output, files = save_with_leasedump(folder.dnsmasq_config, ["/text"])
                self.assertNotIn("Error:", output)
                records = records_of_text(files["DHCP.xml"])
                self.assertTrue(records in expected, f"an export of {len(records)} leases, "
                                f"the first {records[:1]}")
                exports += 1
        finally:
            stop.set()
            thread.join()
        self.assertGreaterEqual(exports, 4)
        self.assertGreaterEqual(len(rewrites), 8)


class DefaultAnswer(unittest.TestCase):
    """The default answer on a machine of the test's own: a private mount namespace in which
    /run is a folder of the test's and /etc has the test's files over the system's (an overlay
    that nothing outside sees), and a network namespace of its own, so that neither the
    system's servers nor anything on 127.0.0.1 can answer."""

    def setUp(self):
        if os.geteuid() != 0 or shutil.which("unshare") is None:
            self.skipTest("needs root and unshare for a private mount namespace")
        self.folder = ServerFolder(self)
        self.run_folder = self.folder.at("run")
        self.upper = self.folder.at("etc-upper")
        os.makedirs(os.path.join(self.run_folder, "dnsmasq"))
        os.makedirs(self.folder.at("etc-work"))
        os.makedirs(os.path.join(self.upper, "dhcp"))
        shutil.copy(self.folder.dhcpd_config, os.path.join(self.upper, "dhcp", "dhcpd.conf"))
        shutil.copy(self.folder.dnsmasq_config, os.path.join(self.upper, "dnsmasq.conf"))
        # The folder that Debian's package ships and its service has dnsmasq read, with a file
        # that the package manager left, which the service skips.
        write(os.path.join(self.upper, "dnsmasq.d", "README"), "# read by dnsmasq\n")
        write(os.path.join(self.upper, "dnsmasq.d", "lan.conf.dpkg-old"),
              "dhcp-range=10.9.0.1,10.9.0.9,255.255.255.0\n")
        probe = self.in_private_machine(["true"], check=False)
        if probe.returncode != 0:
            self.skipTest(f"no private mount namespace here: {probe.stderr.strip()!r}")

    def in_private_machine(self, command, stdin=b"", cwd=None, check=True):
        script = ('mount --bind "$1" /run && mount -t overlay overlay '
                  '-o lowerdir=/etc,upperdir="$2",workdir="$3" /etc && shift 3 && exec "$@"')
        result = subprocess.run(
            ["unshare", "--mount", "--net", "--propagation", "private", "sh", "-c", script, "sh",
             self.run_folder, self.upper, self.folder.at("etc-work"), *command],
            input=stdin, capture_output=True, cwd=cwd, timeout=60)
        if check and result.returncode not in (0, 2):
            raise AssertionError(f"{command} ended with {result.returncode}: {result.stderr!r}")
        return result

    def running(self, name):
        """A process whose command name is `name` (a copy of sleep), ended with the test."""
        program = self.folder.at(name)
        shutil.copy("/bin/sleep", program)
        process = subprocess.Popen([program, "60"])
        self.addCleanup(process.wait)
        self.addCleanup(process.kill)
        return process.pid

    def stale_pid(self):
        ended = subprocess.Popen(["true"])
        ended.wait()
        return ended.pid

    def pid_file(self, name, pid):
        write(os.path.join(self.run_folder, name), f"{pid}\n")

    def export(self):
        with tempfile.TemporaryDirectory() as out:
            result = self.in_private_machine([os.path.abspath(LEASEDUMP)], b"\n\n", cwd=out)
            saved_file = os.path.join(out, "DHCP.xml")
            records = []
            if os.path.exists(saved_file):
                with open(saved_file, "rb") as file:
                    records = records_of_xml(file.read())
            return result.stdout.decode(errors="replace"), records

    def test_stale_dhcpd_is_passed_over_for_the_running_dnsmasq(self):
        self.pid_file("dhcpd.pid", self.stale_pid())
        self.pid_file("dnsmasq/dnsmasq.pid", self.running("dnsmasq"))
        output, records = self.export()
        self.assertNotIn("Error:", output)
        self.assertEqual(records, DNSMASQ_RECORDS)


if __name__ == "__main__":
    unittest.main(verbosity=2)
