"""Leases that real DHCP clients obtained from ISC dhcpd and from dnsmasq, exported by leasedump
from the server's configuration and lease file.

Each server serves two subnets of 192.0.2.0/24 on two bridges in a network namespace of its own
(scripts/file_servers_sandbox.py); busybox udhcpc and ISC dhclient clients in namespaces of their
own get leases in both, and one dhclient gives its lease back. leasedump runs in the server's
namespace, as on the server itself (dnsmasq takes one range's netmask from the interface that
holds it), with the configuration's path as the server text. What it saves must be what the
lease file holds, read here by a reader of this test's own: dhcpd's last declaration of each
address, in the states that leave the address with its client; dnsmasq's lines.
"""

import codecs
import ipaddress
import os
import shutil
import sys
import threading
import time
import unittest

sys.path.insert(0, os.path.join(os.environ["LEASEDUMP_SOURCE_DIR"], "scripts"))
import file_servers_sandbox as sandbox  # noqa: E402
from program_runs import console_lines, save_with_leasedump  # noqa: E402

sys.path.insert(0, os.path.join(os.environ["LEASEDUMP_SOURCE_DIR"], "tests", "support"))
from result_files import records_of_text, records_of_xml  # noqa: E402

# A byte that is not UTF-8 is one '?' of the saved name.
codecs.register_error("leasedump-question", lambda error: ("?" * (error.end - error.start),
                                                          error.end))

EXPORTED_STATES = {"active", "expired", "released"}


def name_text(raw):
    """A host name's bytes as leasedump saves them: up to a NUL, bad bytes as '?', one trailing
    full stop off."""
    name = raw.split(b"\0", 1)[0].decode("utf-8", "leasedump-question")
    return name[:-1] if name.endswith(".") else name


def mac_text(text):
    return "-".join(f"{int(part, 16):02X}" for part in text.split(":")) if text else ""


def dhcpd_tokens(data):
    """Words, strings (as bytes, escapes decoded) and punctuation of a dhcpd file; a string or
    word that the end of the file cuts off is not a token."""
    at = 0
    while at < len(data):
        byte = data[at:at + 1]
        if byte in b" \t\r\n\0":
            at += 1
        elif byte == b"#":
            end = data.find(b"\n", at)
            at = len(data) if end < 0 else end + 1
        elif byte in b";{}=,":
            yield ("punct", byte)
            at += 1
        elif byte == b'"':
            text, at = bytearray(), at + 1
            while at < len(data) and data[at:at + 1] != b'"':
                if data[at:at + 1] == b"\\" and at + 1 < len(data):
                    following = data[at + 1:at + 2]
                    octal = data[at + 1:at + 4]
                    if len(octal) == 3 and all(c in b"01234567" for c in octal):
                        text.append(int(octal, 8) & 0xFF)
                        at += 4
                        continue
                    text += {b"t": b"\t", b"n": b"\n", b"r": b"\r"}.get(following, following)
                    at += 2
                else:
                    text += data[at:at + 1]
                    at += 1
            if at >= len(data):
                return
            yield ("string", bytes(text))
            at += 1
        else:
            start = at
            while at < len(data) and data[at:at + 1] not in b" \t\r\n\0#;{}=,\"":
                at += 1
            if at >= len(data):
                return
            yield ("word", data[start:at])


def dhcpd_leases(data):
    """{address: (name, mac)} of the addresses whose last complete `lease` block is in an
    exported state."""
    tokens = list(dhcpd_tokens(data))
    current = {}
    at = 0
    statement = []
    while at < len(tokens):
        kind, value = tokens[at]
        at += 1
        if (kind, value) == ("punct", b"{"):
            body_start, depth = at, 1
            while at < len(tokens) and depth:
                depth += {b"{": 1, b"}": -1}.get(tokens[at][1], 0) if tokens[at][0] == "punct" \
                    else 0
                at += 1
            if depth:
                break  # the block the server is still writing
            if len(statement) == 2 and statement[0] == ("word", b"lease"):
                current[statement[1][1].decode()] = lease_block(tokens[body_start:at - 1])
            statement = []
        elif (kind, value) == ("punct", b";"):
            statement = []
        else:
            statement.append((kind, value))
    return {address: (name, mac) for address, (state, name, mac) in current.items()
            if state in EXPORTED_STATES}


def lease_block(tokens):
    """(binding state, name, mac) of the statements at the top of one lease block."""
    state, client_name, ddns_name, mac = None, None, None, ""
    statement, depth = [], 0
    for kind, value in tokens:
        if kind == "punct" and value in (b"{", b"}"):
            depth += 1 if value == b"{" else -1
            statement = [] if depth == 0 else statement
            continue
        if depth:
            continue
        if (kind, value) != ("punct", b";"):
            statement.append(value)
            continue
        if statement[:2] == [b"binding", b"state"]:
            state = statement[2].decode()
        elif statement[:1] == [b"hardware"]:
            mac = statement[2].decode()
        elif statement[:1] == [b"client-hostname"]:
            client_name = statement[1]
        elif statement[:2] == [b"set", b"ddns-fwd-name"]:
            ddns_name = statement[3]
        statement = []
    name = name_text(client_name) if client_name is not None else ""
    if not name and ddns_name is not None:
        name = name_text(ddns_name)
    return state, name, mac_text(mac)


def dnsmasq_leases(data):
    """{address: (name, mac)} of the IPv4 lease lines."""
    leases = {}
    for line in data.split(b"\n"):
        fields = line.split()
        if len(fields) < 4 or not fields[0].isdigit():
            continue
        try:
            ipaddress.IPv4Address(fields[2].decode())
        except ValueError:
            continue
        mac = fields[1].decode()
        if "-" in mac:
            mac = mac.split("-", 1)[1]
        leases[fields[2].decode()] = (
            "" if fields[3] == b"*" else name_text(fields[3]), mac_text(mac))
    return leases


def expected_records(networks, leases):
    """(name, ip, mac) by the subnet that holds each address with the longest prefix, the
    subnets in their order, ascending addresses within each; a lease of no subnet nowhere."""
    subnets = [ipaddress.IPv4Network(network) for network in networks]
    placed = {subnet: [] for subnet in subnets}
    for address, (name, mac) in leases.items():
        holding = [s for s in subnets if ipaddress.IPv4Address(address) in s]
        if holding:
            placed[max(holding, key=lambda s: s.prefixlen)].append(
                (ipaddress.IPv4Address(address), name, mac))
    return [(name, str(address), mac) for subnet in subnets
            for address, name, mac in sorted(placed[subnet])]


def text_name(name):
    return "".join("?" if c == ";" or ord(c) < 0x20 or c == "\x7f" else c for c in name)


def serve_and_export(server_class, results):
    """Runs one server with the sample clients and keeps what leasedump saved and what the lease
    file held, or the failure."""
    try:
        with sandbox.Lan() as lan, server_class(lan) as server:
            for client in sandbox.SAMPLE_CLIENTS:
                lan.obtain(client)
            prefix = ["ip", "netns", "exec", lan.server_namespace]
            output, xml = save_with_leasedump(server.config_path, prefix=prefix)
            _, text = save_with_leasedump(server.config_path, ["/text"], prefix=prefix)
            results[server_class.program] = (output, xml.get("DHCP.xml"), text.get("DHCP.xml"),
                                             server.lease_file_text(), server.config_path)
    except BaseException as failure:  # noqa: B902 - handed to the main thread
        results[server_class.program] = failure


class RealServersAndClients(unittest.TestCase):
    def setUp(self):
        reason = sandbox.namespaces_can_be_made()
        if reason:
            self.skipTest(reason)
        for program in ("busybox", "dhclient"):
            self.assertIsNotNone(shutil.which(program), f"{program} is missing: "
                                 "scripts/install-packages installs it")

    def test_export_is_what_the_lease_file_holds(self):
        # Both servers at once, each in a LAN of its own: the clients' waits overlap.
        results = {}
        servers = {"dhcpd": (sandbox.DhcpdServer, dhcpd_leases),
                   "dnsmasq": (sandbox.DnsmasqServer, dnsmasq_leases)}
        threads = [threading.Thread(target=serve_and_export, args=(server_class, results))
                   for server_class, _ in servers.values()]
        started = time.monotonic()
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        print(f"servers and clients: {time.monotonic() - started:.1f} s", file=sys.stderr)
        for program, (_, reader) in servers.items():
            with self.subTest(program):
                result = results[program]
                if isinstance(result, BaseException):
                    raise result
                output, xml, text, lease_file, config_path = result
                expected = expected_records(sandbox.NETWORKS, reader(lease_file))
                lines = console_lines(output)
                self.assertNotIn("Error:", output)
                self.assertIn("DHCP Subnet number = 2", lines)
                self.assertIn("Reading position: 192.0.2.128", lines)
                self.assertIn(f"Queried {len(expected)} entries from server {config_path}.",
                              lines)
                self.assertEqual(records_of_xml(xml), expected)
                self.assertEqual(records_of_text(text),
                                 [(text_name(name), ip, mac) for name, ip, mac in expected])
                # The clients that kept their leases, in both subnets; the one that gave its
                # lease back is not among them.
                kept = [c for c in sandbox.SAMPLE_CLIENTS if not c.release]
                self.assertEqual(sorted(mac for _, _, mac in expected),
                                 sorted(c.mac.replace(":", "-").upper() for c in kept))
                self.assertEqual({str(ipaddress.IPv4Network(f"{ip}/25", strict=False))
                                  for _, ip, _ in expected}, set(sandbox.NETWORKS))


if __name__ == "__main__":
    outcome = unittest.main(verbosity=2, exit=False).result
    skipped_all = outcome.testsRun > 0 and len(outcome.skipped) == outcome.testsRun
    # 77 tells ctest that the test was skipped, not passed.
    sys.exit(77 if outcome.wasSuccessful() and skipped_all else int(not outcome.wasSuccessful()))
