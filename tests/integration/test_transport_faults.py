"""leasedump against scripted control sockets that fail in ways Kea seldom does: HTTP servers on
127.0.0.1, and UNIX sockets served as kea-dhcp4 serves its own. Each fault that either transport
can meet runs over both."""

import base64
import os
import random
import socket
import subprocess
import tempfile
import threading
import time
import unittest

from program_runs import LEASEDUMP, error_line, probe_api, run_leasedump, save_with_leasedump
from scripted_server import (CLOSE, SILENT, TRANSPORTS, Body, ScriptedServer, Stream,
                             address_number, answer, http, page_of)

MAX_REPLY_BYTES = 256 << 20
MAX_PAGE_REPLY_BYTES = 16 << 20
DENIED = "Access is denied"
INVALID = "The data is invalid"
UNAVAILABLE = "The RPC server is unavailable"
TIMED_OUT = "This operation returned because the timeout period expired"


def endless_reply():
    """A reply that goes on past the bound: "[" and then spaces."""
    chunk = b" " * (1 << 20)
    return Stream([b"["] + [chunk] * ((MAX_REPLY_BYTES >> 20) + 64))


# (case, reply, error line, environment): a fault of the server's first answer, whichever
# transport it comes over.
FIRST_ANSWER_FAULTS = [
    ("refused credentials", answer(401, "Unauthorized"), DENIED, None),
    ("agent without its server", answer(1, "unable to forward command to the dhcp4 service: "
                                           "No such file or directory. The server is likely to "
                                           "be offline"), UNAVAILABLE, None),
    ("not JSON", Body(b"<html>hello</html>"), INVALID, None),
    ("another protocol", Body(b"SSH-2.0-OpenSSH_9.2\r\n"), INVALID, None),
    ("nested too deep", Body(b"[" * 1_000_000), INVALID, None),
    ("JSON cut short", Body(b'[{"result": 0, "text": "2.2.0"}'), INVALID, None),
    ("closed in the middle", Stream([b'[{"result": 0'], length=500), INVALID, None),
    ("endless", endless_reply(), INVALID, None),
    ("closed without a byte", CLOSE, UNAVAILABLE, None),
    ("never answers", SILENT, TIMED_OUT, {"LEASEDUMP_TIMEOUT": "1"}),
]


class FailedVersionCall(unittest.TestCase):
    """Every failure of the first call ends the query with its error line and 0 entries."""

    def assert_version_error(self, reply, text, environment=None, transport="http"):
        with ScriptedServer(lambda request: reply, transport) as server:
            output, files = save_with_leasedump(server.server_text, environment=environment)
        self.assertEqual(files, {})
        self.assertIn(error_line(text), output)
        self.assertNotIn("DHCP Subnet number", output)
        self.assertIn(f"Queried 0 entries from server {server.server_text}.", output)

    def test_each_fault_of_the_first_answer_over_each_transport(self):
        for transport in TRANSPORTS:
            for case, reply, text, environment in FIRST_ANSWER_FAULTS:
                with self.subTest(transport=transport, case=case):
                    started = time.monotonic()
                    self.assert_version_error(reply, text, environment, transport)
                    self.assertLess(time.monotonic() - started, 15)

    def test_refused_credentials_are_access_denied(self):
        self.assert_version_error(http("", "401 Unauthorized"), "Access is denied")
        self.assert_version_error(http("", "403 Forbidden"), "Access is denied")

    def test_http_errors_and_raw_bytes_are_invalid_data(self):
        for reply in (http('{"result": 500}', "500 Internal Server Error"),
                      http('[{"result": 0}]', "404 Not Found"),
                      b"SSH-2.0-OpenSSH_9.2\r\n"):
            with self.subTest(reply=reply[:40]):
                self.assert_version_error(reply, "The data is invalid")

    def test_oversized_reply_is_refused_before_it_is_read(self):
        started = time.monotonic()
        self.assert_version_error(
            b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n[" % (MAX_REPLY_BYTES + 1),
            "The data is invalid")
        self.assertLess(time.monotonic() - started, 10)

    def test_flood_of_headers_is_cut_at_its_bound(self):
        def endless_headers(connection):
            connection.sendall(b"HTTP/1.1 200 OK\r\n")
            for number in range(100_000):
                connection.sendall(b"X-Filler-%d: %s\r\n" % (number, b"a" * 100))

        def endless_interim_answers(connection):
            for _ in range(1_000_000):
                connection.sendall(b"HTTP/1.1 100 Continue\r\n\r\n")
        for flood in (endless_headers, endless_interim_answers):
            with self.subTest(flood.__name__):
                self.assert_version_error(flood, "The data is invalid")

    def test_connection_not_accepted_within_five_seconds_times_out(self):
        for transport in TRANSPORTS:
            with self.subTest(transport=transport), full_listener(transport) as server_text:
                started = time.monotonic()
                output = run_leasedump(server_text)
                elapsed = time.monotonic() - started
                self.assertIn(error_line(TIMED_OUT), output)
                self.assertGreater(elapsed, 4)
                self.assertLess(elapsed, 15)

    def test_server_text_that_names_no_server_is_an_unavailable_server(self):
        with tempfile.TemporaryDirectory() as folder:
            plain_file = os.path.join(folder, "not-a-socket")
            open(plain_file, "w").close()
            for server_text in ("admin@127.0.0.1:1", os.path.join(folder, "missing"), plain_file,
                                "/" + "x" * 200):
                with self.subTest(server_text=server_text):
                    output = run_leasedump(server_text)
                    self.assertIn(error_line(UNAVAILABLE), output)
                    self.assertIn(f"Queried 0 entries from server {server_text}.", output)


class full_listener:
    """The server text of a listener whose backlog is full, which leaves further connection
    attempts unanswered."""

    def __init__(self, transport):
        self.transport = transport
        self.folder = tempfile.TemporaryDirectory()

    def __enter__(self):
        if self.transport == "unix":
            address = os.path.join(self.folder.name, "full")
            self.listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            self.listener.bind(address)
            self.listener.listen(0)
            family, server_text = socket.AF_UNIX, address
        else:
            self.listener = socket.create_server(("127.0.0.1", 0), backlog=0)
            address = ("127.0.0.1", self.listener.getsockname()[1])
            family, server_text = socket.AF_INET, f"127.0.0.1:{address[1]}"
        self.fillers = [socket.socket(family, socket.SOCK_STREAM) for _ in range(3)]
        for filler in self.fillers:
            filler.setblocking(False)
            filler.connect_ex(address)
        time.sleep(0.2)
        return server_text

    def __exit__(self, *_exc):
        for filler in self.fillers:
            filler.close()
        self.listener.close()
        self.folder.cleanup()


KEA_LIKE_LEASES = [
    {"ip-address": "192.168.7.5", "subnet-id": 7, "hw-address": "0a:0b:0c:0d:0e:0f",
     "hostname": "\u65e5\u672c.example.", "cltt": 1000, "valid-lft": 60},
    {"ip-address": "192.168.7.6", "subnet-id": 7, "hw-address": "", "hostname": "caf\u00e9."}]
# The first page of each subnet starts after the address before the subnet.
FROM_BEFORE_SUBNET_7 = "192.168.6.255"
FROM_BEFORE_SUBNET_9 = "10.8.255.255"


def kea_like(request):
    """A newer Kea: bare answer objects, code points above 255 in host names."""
    if request.command == "version-get":
        return answer(0, "2.6.1", bare=True)
    if request.command == "config-get":
        return answer(0, arguments={"Dhcp4": {
            "subnet4": [{"id": 7, "subnet": "192.168.7.0/24"}],
            "shared-networks": [{"name": "n", "subnet4": [{"id": 9, "subnet": "10.9.0.0/16"}]}]}},
            bare=True)
    return page_of(request, KEA_LIKE_LEASES, bare=True)


def page_from(request):
    return request.json["arguments"]["from"] if request.command == "lease4-get-page" else None


class WellBehavedServer(unittest.TestCase):
    def test_bare_answers_and_wide_host_names(self):
        for transport in TRANSPORTS:
            with self.subTest(transport=transport):
                self.assert_bare_answers_and_wide_host_names(transport)

    def assert_bare_answers_and_wide_host_names(self, transport):
        with ScriptedServer(kea_like, transport) as server:
            output = run_leasedump(server.server_text)
            answers = probe_api(server.server_text)
        lines = output.split("\r\n")
        self.assertIn("DHCP Subnet number = 2", lines)
        self.assertIn("Reading position: 192.168.7.0", lines)
        self.assertIn("Reading position: 10.9.0.0", lines)
        self.assertIn(f"Queried 2 entries from server {server.server_text}.", lines)
        self.assertNotIn("Error:", output)
        self.assertEqual((answers[0]["major"], answers[0]["minor"]), (2, 6))
        clients = answers[3]["clients"]
        self.assertEqual(bytes.fromhex(clients[0]["name"]).decode(), "\u65e5\u672c.example.")
        self.assertEqual(bytes.fromhex(clients[1]["name"]).decode(), "caf\u00e9.")
        self.assertEqual(clients[0]["expires"], (1060 + 11644473600) * 10**7)

    def test_requests_carry_json_and_credentials_and_pages_go_side_by_side(self):
        environment = {"LEASEDUMP_USER": "admin", "LEASEDUMP_PASSWORD": "s3cret",
                       # Only our own variables configure the client.
                       "http_proxy": "http://127.0.0.1:1", "ALL_PROXY": "http://127.0.0.1:1"}
        with ScriptedServer(kea_like) as server:
            output = run_leasedump(server.server_text, environment)
        self.assertIn(f"Queried 2 entries from server {server.server_text}.", output)
        self.assertEqual([r.command for r in server.requests],
                         ["version-get", "config-get", "lease4-get-page", "lease4-get-page"])
        # One keep-alive connection for the commands; the two subnets' pages side by side, on a
        # second one unless the first page was back before the second left.
        self.assertEqual(server.requests[0].connection, server.requests[1].connection)
        self.assertLessEqual(server.connections, 2)
        credentials = base64.b64encode(b"admin:s3cret").decode()
        for request in server.requests:
            self.assertTrue(request.request_line.startswith("POST / HTTP/1.1"))
            self.assertEqual(request.headers["content-type"], "application/json")
            self.assertEqual(request.headers["authorization"], f"Basic {credentials}")
            self.assertEqual(request.json["service"], ["dhcp4"])
        self.assertEqual(sorted(page_from(r) for r in server.requests[2:]),
                         sorted([FROM_BEFORE_SUBNET_7, FROM_BEFORE_SUBNET_9]))
        self.assertGreater(server.requests[2].json["arguments"]["limit"], 0)

    def test_unix_socket_takes_one_connection_a_command_without_service_or_credentials(self):
        environment = {"LEASEDUMP_USER": "admin", "LEASEDUMP_PASSWORD_FILE": "/nonexistent"}
        with ScriptedServer(kea_like, "unix") as server:
            output = run_leasedump(server.server_text, environment)
        self.assertIn(f"Queried 2 entries from server {server.server_text}.", output)
        self.assertEqual(server.requests[0].json, {"command": "version-get"})
        self.assertEqual([r.command for r in server.requests],
                         ["version-get", "config-get", "lease4-get-page", "lease4-get-page"])
        self.assertEqual(server.connections, 4)
        self.assertEqual(server.requests[3].json["arguments"]["from"], FROM_BEFORE_SUBNET_9)

    def test_password_comes_from_its_file_and_an_unreadable_file_sends_nothing(self):
        with tempfile.TemporaryDirectory() as folder:
            password_file = os.path.join(folder, "kea-api-password")
            with open(password_file, "wb") as file:
                file.write(b"from-file\r\n")
            with ScriptedServer(kea_like) as server:
                output = run_leasedump(server.server_text,
                                       {"LEASEDUMP_USER": "kea-api",
                                        "LEASEDUMP_PASSWORD_FILE": password_file})
            self.assertIn(f"Queried 2 entries from server {server.server_text}.", output)
            credentials = base64.b64encode(b"kea-api:from-file").decode()
            self.assertEqual({r.headers["authorization"] for r in server.requests},
                             {f"Basic {credentials}"})
            for unreadable in (os.path.join(folder, "missing"), folder):
                with ScriptedServer(kea_like) as server:
                    output = run_leasedump(server.server_text,
                                           {"LEASEDUMP_USER": "kea-api",
                                            "LEASEDUMP_PASSWORD_FILE": unreadable})
                self.assertIn(error_line(DENIED), output)
                self.assertEqual(server.requests, [])


def chunked(reply):
    """The HTTP answer of a reply body, sent in chunks of a few bytes."""
    head, _, body = http(reply).partition(b"\r\n\r\n")
    head = b"\r\n".join(line for line in head.split(b"\r\n")
                         if not line.lower().startswith(b"content-length"))
    chunks = b"".join(b"%x\r\n%s\r\n" % (len(body[i:i + 7]), body[i:i + 7])
                      for i in range(0, len(body), 7))
    return head + b"\r\nTransfer-Encoding: chunked\r\n\r\n" + chunks + b"0\r\n\r\n"


def version_first(version_reply):
    return lambda request: version_reply if request.command == "version-get" else \
        kea_like(request)


class NoProgressLimit(unittest.TestCase):
    """LEASEDUMP_TIMEOUT is the time without a byte, not a least average rate."""

    def test_steady_trickle_slower_than_a_byte_a_second_is_not_cut(self):
        body = b'[{"result": 0, "text": "2.2.0"}]'
        # 0.8 bytes a second for over ten seconds, never two seconds without one.
        trickle = Stream([body[i:i + 1] for i in range(9)] + [body[9:]], pause=1.25)
        for transport in TRANSPORTS:
            with self.subTest(transport=transport):
                started = time.monotonic()
                with ScriptedServer(version_first(trickle), transport) as server:
                    output = run_leasedump(server.server_text, {"LEASEDUMP_TIMEOUT": "2"})
                self.assertGreater(time.monotonic() - started, 10)
                self.assertNotIn("Error:", output)
                self.assertIn(f"Queried 2 entries from server {server.server_text}.", output)

    def test_status_line_and_headers_trickled_a_byte_at_a_time_are_not_cut(self):
        body = b'[{"result": 0, "text": "2.2.0"}]'
        head = b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n" % len(body)

        def trickled_head(connection):
            # The status line alone takes 8 s, four times the limit, with a byte every 0.5 s.
            for offset in range(len(head)):
                connection.sendall(head[offset:offset + 1])
                time.sleep(0.5 if offset < 17 else 0)
            connection.sendall(body)
            connection.close()
        started = time.monotonic()
        with ScriptedServer(version_first(trickled_head)) as server:
            output = run_leasedump(server.server_text, {"LEASEDUMP_TIMEOUT": "2"})
        self.assertGreater(time.monotonic() - started, 8)
        self.assertNotIn("Error:", output)
        self.assertIn(f"Queried 2 entries from server {server.server_text}.", output)

    def test_silence_after_the_first_bytes_is_cut_after_the_limit(self):
        falls_silent = Stream([b'[{"res', b'ult"'], pause=1, length=40, then_silent=30)
        for transport in TRANSPORTS:
            with self.subTest(transport=transport):
                started = time.monotonic()
                with ScriptedServer(version_first(falls_silent), transport) as server:
                    output, files = save_with_leasedump(server.server_text,
                                                        environment={"LEASEDUMP_TIMEOUT": "2"})
                elapsed = time.monotonic() - started
                self.assertIn(error_line(TIMED_OUT), output)
                self.assertEqual(files, {})
                self.assertGreater(elapsed, 3)
                self.assertLess(elapsed, 7)


class RepliesOfAnotherShape(unittest.TestCase):
    def run_against(self, respond, transport="http"):
        with ScriptedServer(respond, transport) as server:
            output, files = save_with_leasedump(server.server_text)
        return server, output, files

    def test_chunked_replies_are_read_whole(self):
        server, output, files = self.run_against(lambda request: chunked(kea_like(request)))
        self.assertNotIn("Error:", output)
        self.assertIn(f"Queried 2 entries from server {server.server_text}.", output)
        self.assertIn(b"<hostname>caf\xc3\xa9</hostname>", files["DHCP.xml"])

    def test_configuration_of_the_wrong_shape_ends_the_subnet_enumeration(self):
        for dhcp4 in ({"subnet4": {"id": 1}}, {"subnet4": [{"id": "1", "subnet": "10.0.0.0/8"}]},
                      {"subnet4": [{"id": 1, "subnet": "10.0.0.0/33"}]},
                      {"subnet4": [{"id": 1}]}, {"shared-networks": [{"subnet4": 5}]}):
            def respond(request, dhcp4=dhcp4):
                if request.command == "config-get":
                    return answer(0, arguments={"Dhcp4": dhcp4})
                return kea_like(request)
            for transport in TRANSPORTS:
                with self.subTest(dhcp4=dhcp4, transport=transport):
                    server, output, files = self.run_against(respond, transport)
                    self.assertIn(error_line(INVALID), output)
                    self.assertNotIn("DHCP Subnet number", output)
                    self.assertIn(f"Queried 0 entries from server {server.server_text}.", output)
                    self.assertEqual(files, {})

    def test_a_lease_of_the_wrong_shape_fails_its_subnet_only(self):
        for lease in ({"hw-address": "00:01:02:03:04:05", "hostname": "no-address"},
                      {"ip-address": "192.168.7.8", "hw-address": "00:zz:02:03:04:05"},
                      {"ip-address": "192.168.7.256"}, {"ip-address": "192.168.7.9", "cltt": -5},
                      {"ip-address": "192.168.7.9", "valid-lft": 1 << 32},
                      {"ip-address": ["192.168.7.9"]}, {"ip-address": "192.168.7.9",
                                                        "hostname": 17},
                      {"ip-address": "192.168.7.9", "subnet-id": None}, "192.168.7.9"):
            def respond(request, lease=lease):
                if isinstance(lease, dict):
                    lease = {"subnet-id": 7, **lease}
                if page_from(request) == FROM_BEFORE_SUBNET_7:
                    return answer(0, arguments={"leases": [
                        {"ip-address": "192.168.7.5", "subnet-id": 7,
                         "hw-address": "0a:0b:0c:0d:0e:0f"}, lease]})
                if page_from(request) == FROM_BEFORE_SUBNET_9:
                    return answer(0, arguments={"leases": [{"ip-address": "10.9.0.1",
                                                            "subnet-id": 9}]})
                return kea_like(request)
            for transport in TRANSPORTS:
                with self.subTest(lease=lease, transport=transport):
                    server, output, files = self.run_against(respond, transport)
                    self.assertIn("Reading position: 192.168.7.0\r\n" + error_line(INVALID) +
                                  "Reading position: 10.9.0.0\r\n", output)
                    self.assertIn(f"Queried 1 entries from server {server.server_text}.", output)
                    self.assertIn(b"<ip>10.9.0.1</ip>", files["DHCP.xml"])
                    self.assertNotIn(b"192.168.7", files["DHCP.xml"])


class FailedSubnetCalls(unittest.TestCase):
    def test_a_failed_subnet_is_reported_and_the_others_are_read(self):
        def second_subnet_fails(request):
            if page_from(request) == FROM_BEFORE_SUBNET_7:
                return Body(b"not json")
            return kea_like(request)
        for transport in TRANSPORTS:
            with self.subTest(transport=transport):
                with ScriptedServer(second_subnet_fails, transport) as server:
                    output = run_leasedump(server.server_text)
                self.assertIn("Reading position: 192.168.7.0\r\n" + error_line(INVALID) +
                              "Reading position: 10.9.0.0\r\n", output)
                self.assertIn(f"Queried 0 entries from server {server.server_text}.", output)


class EnvironmentNotices(unittest.TestCase):
    def test_unusable_timeout_is_said_once_and_the_output_stays_the_same(self):
        def run(environment):
            with ScriptedServer(kea_like) as server, tempfile.TemporaryDirectory() as folder:
                result = subprocess.run([os.path.abspath(LEASEDUMP)],
                                        input=f"{server.server_text}\n\n".encode(),
                                        capture_output=True, timeout=60, cwd=folder,
                                        env=dict(os.environ, **environment))
            return result.stdout.replace(server.server_text.encode(), b"SERVER"), result.stderr
        plain_output, plain_errors = run({})
        self.assertEqual(plain_errors, b"")
        for value in ("abc", "0", "-1", "1e9"):
            with self.subTest(value=value):
                output, errors = run({"LEASEDUMP_TIMEOUT": value})
                self.assertEqual(output, plain_output)
                self.assertEqual(errors, b'leasedump: LEASEDUMP_TIMEOUT "%s" is not a whole '
                                 b"number of seconds from 1 to 86400; using 60\r\n"
                                 % value.encode())


class ReplyBounds(unittest.TestCase):
    def test_a_page_has_a_lower_bound_than_the_configuration(self):
        padding = "x" * (MAX_PAGE_REPLY_BYTES + 1024)

        def respond(request):
            if request.command == "config-get":
                return answer(0, arguments={"Dhcp4": {"comment": padding, "subnet4": [
                    {"id": 7, "subnet": "192.168.7.0/24"}, {"id": 9, "subnet": "10.9.0.0/16"}]}})
            if page_from(request) == FROM_BEFORE_SUBNET_7:
                return answer(0, arguments={"leases": [{"ip-address": "192.168.7.5",
                                                        "subnet-id": 7, "hostname": padding}]})
            if page_from(request) == FROM_BEFORE_SUBNET_9:
                return answer(0, arguments={"leases": [{"ip-address": "10.9.0.1",
                                                        "subnet-id": 9}]})
            return kea_like(request)
        with ScriptedServer(respond) as server:
            output = run_leasedump(server.server_text)
        self.assertIn("DHCP Subnet number = 2\r\nReading position: 192.168.7.0\r\n" +
                      error_line("The data is invalid") + "Reading position: 10.9.0.0\r\n",
                      output)
        self.assertIn(f"Queried 1 entries from server {server.server_text}.", output)


class ServerGoneBetweenPages(unittest.TestCase):
    """A subnet of more leases than a page holds, whose server goes away after its first page."""

    def test_the_subnet_fails_whole_and_the_next_is_read(self):
        leases = [{"ip-address": f"10.7.{n >> 8}.{n & 255}", "subnet-id": 7,
                   "hw-address": f"02:00:00:07:{n >> 8:02x}:{n & 255:02x}"}
                  for n in range(1, 5001)] + \
                 [{"ip-address": "10.9.0.1", "subnet-id": 9, "hw-address": "02:00:00:09:00:01"}]

        def respond(request):
            if request.command == "config-get":
                return answer(0, arguments={"Dhcp4": {"subnet4": [
                    {"id": 7, "subnet": "10.7.0.0/16"}, {"id": 9, "subnet": "10.9.0.0/16"}]}})
            if request.command == "lease4-get-page" and page_from(request) != "10.6.255.255" \
                    and page_from(request) != FROM_BEFORE_SUBNET_9:
                return CLOSE
            if request.command == "lease4-get-page":
                return page_of(request, leases)
            return kea_like(request)
        for transport in TRANSPORTS:
            with self.subTest(transport=transport):
                with ScriptedServer(respond, transport) as server:
                    output, files = save_with_leasedump(server.server_text, ["/text"])
                pages = [page_from(request) for request in server.requests[2:]]
                # Over HTTP the next subnet's first page may reach the server first.
                self.assertEqual([page for page in pages if page != FROM_BEFORE_SUBNET_9][0],
                                 "10.6.255.255")
                self.assertIn(FROM_BEFORE_SUBNET_9, pages)
                self.assertIn("Reading position: 10.7.0.0\r\n" + error_line(UNAVAILABLE) +
                              "Reading position: 10.9.0.0\r\n", output)
                # The first page's leases of 10.7.0.0/16 are not kept.
                self.assertIn(f"Queried 1 entries from server {server.server_text}.", output)
                self.assertEqual(files["DHCP.xml"],
                                 b"# Name;IP;MAC\r\n;10.9.0.1;02-00-00-09-00-01\r\n")

class PagesSideBySide(unittest.TestCase):
    """Pages asked for side by side over HTTP, answered slowly and out of order across the
    connections, make the same files as pages one after another over the UNIX socket."""

    SUBNETS = [{"id": 7, "subnet": "10.7.0.0/16"}, {"id": 8, "subnet": "10.8.0.0/24"},
               {"id": 9, "subnet": "10.9.0.0/16"}]
    LEASES = sorted(
        [{"ip-address": f"10.7.{n >> 8}.{n & 255}", "subnet-id": 7,
          "hw-address": f"02:00:00:07:{n >> 8:02x}:{n & 255:02x}", "hostname": f"h{n}.example."}
         for n in range(1, 3001)] +
        [{"ip-address": f"10.8.0.{n}", "subnet-id": 8, "hw-address": f"02:00:00:08:00:{n:02x}"}
         for n in range(10, 30)] +
        [{"ip-address": f"10.9.{n * 7 >> 8}.{n * 7 & 255}", "subnet-id": 9,
          "hw-address": f"02:00:00:09:00:{n & 255:02x}"} for n in range(1, 1201)] +
        [{"ip-address": "10.200.0.1", "subnet-id": 7}],
        key=lambda lease: address_number(lease["ip-address"]))
    # A page from within these addresses is where a slice is made to fail: past the first page
    # of 10.7.0.0/16, so that the subnet has given leases before it fails.
    FAILING_FROM = (address_number("10.7.4.0"), address_number("10.7.6.0"))

    def server(self, transport, failure=None):
        """A scripted Kea whose pages wait 0 to 60 ms each, one of them 1.5 s, and where a page
        within FAILING_FROM gets `failure` (if any)."""
        lock = threading.Lock()
        state = {"at_server": 0, "most": 0, "answered": []}

        def respond(request):
            if request.command == "config-get":
                return answer(0, arguments={"Dhcp4": {"subnet4": self.SUBNETS}})
            if request.command != "lease4-get-page":
                return kea_like(request)
            start = page_from(request)
            after = -1 if start == "start" else address_number(start)
            with lock:
                state["at_server"] += 1
                state["most"] = max(state["most"], state["at_server"])
            time.sleep(1.5 if start == "10.7.1.244" else random.Random(start).uniform(0, 0.06))
            with lock:
                state["at_server"] -= 1
                state["answered"].append(after)
            if failure is not None and self.FAILING_FROM[0] <= after + 1 < self.FAILING_FROM[1]:
                return failure
            return page_of(request, self.LEASES)
        return ScriptedServer(respond, transport), state

    def export(self, transport, failure=None):
        files = {}
        server, state = self.server(transport, failure)
        with server:
            for arguments, kind in (((), "xml"), (["/text"], "text")):
                output, saved = save_with_leasedump(server.server_text, arguments)
                files[kind] = saved["DHCP.xml"]
        return output.replace(server.server_text, "SERVER"), files, server, state

    def test_files_are_those_of_one_page_after_another(self):
        expected_output, expected_files, _, _ = self.export("unix")
        output, files, server, state = self.export("http")
        self.assertIn("Queried 4220 entries from server SERVER.", output)
        self.assertEqual(output, expected_output)
        self.assertEqual(files, expected_files)
        # Side by side, over several connections but no more than 16, and answered out of order.
        self.assertGreater(state["most"], 1)
        self.assertLessEqual(state["most"], 16)
        self.assertGreater(server.connections, 2)
        self.assertLessEqual(server.connections, 2 * 16)
        self.assertNotEqual(state["answered"], sorted(state["answered"]))
        for request in server.requests:
            if request.command == "lease4-get-page":
                self.assertLessEqual(request.json["arguments"]["limit"], 500)

    def test_a_failed_slice_fails_its_subnet_whole(self):
        for failure in (CLOSE, answer(1, "Database connection lost")):
            with self.subTest(failure=failure):
                expected_output, expected_files, _, _ = self.export("unix", failure)
                output, files, _, _ = self.export("http", failure)
                self.assertIn("Reading position: 10.7.0.0\r\n" + error_line(
                    UNAVAILABLE if failure is CLOSE else INVALID) +
                    "Reading position: 10.8.0.0\r\nReading position: 10.9.0.0\r\n", output)
                self.assertEqual(output, expected_output)
                self.assertEqual(files, expected_files)
                self.assertNotIn(b"10.7.", files["text"])
                self.assertIn(b"10.9.32.208", files["text"])


if __name__ == "__main__":
    unittest.main(verbosity=2)
