"""leasedump against scripted HTTP servers on 127.0.0.1 that fail in ways Kea seldom does."""

import base64
import socket
import time
import unittest

from program_runs import error_line, probe_api, run_leasedump, save_with_leasedump
from scripted_server import CLOSE, SILENT, ScriptedServer, answer, http, page_of

MAX_REPLY_BYTES = 256 << 20
MAX_PAGE_REPLY_BYTES = 16 << 20


class FailedVersionCall(unittest.TestCase):
    """Every failure of the first call ends the query with its error line and 0 entries."""

    def assert_version_error(self, reply, text, environment=None):
        with ScriptedServer(lambda request: reply) as server:
            output, files = save_with_leasedump(server.server_text, environment=environment)
        self.assertEqual(files, {})
        self.assertIn(error_line(text), output)
        self.assertNotIn("DHCP Subnet number", output)
        self.assertIn(f"Queried 0 entries from server {server.server_text}.", output)

    def test_refused_credentials_are_access_denied(self):
        self.assert_version_error(http("", "401 Unauthorized"), "Access is denied")
        self.assert_version_error(http("", "403 Forbidden"), "Access is denied")
        self.assert_version_error(answer(401, "Unauthorized"), "Access is denied")

    def test_replies_not_as_described_are_invalid_data(self):
        for reply in (http('{"result": 500}', "500 Internal Server Error"),
                      http('[{"result": 0}]', "404 Not Found"),
                      http("<html>hello</html>"),
                      answer(1, "unable to forward command to the dhcp4 service"),
                      http("[" * 1_000_000),
                      http('[{"result": 0, "text": "2.2.0"}'),
                      b"SSH-2.0-OpenSSH_9.2\r\n"):
            with self.subTest(reply=reply[:40]):
                self.assert_version_error(reply, "The data is invalid")

    def test_truncated_reply_is_invalid_data(self):
        def truncated(connection):
            connection.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 500\r\n\r\n[{\"result\": 0")
            connection.close()
        self.assert_version_error(truncated, "The data is invalid")

    def test_oversized_reply_is_refused_before_it_is_read(self):
        started = time.monotonic()
        self.assert_version_error(
            b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n[" % (MAX_REPLY_BYTES + 1),
            "The data is invalid")
        self.assertLess(time.monotonic() - started, 10)

    def test_endless_reply_without_length_is_cut_at_the_bound(self):
        def endless(connection):
            connection.sendall(b"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n[")
            chunk = b" " * (1 << 20)
            for _ in range((MAX_REPLY_BYTES >> 20) + 64):
                connection.sendall(chunk)
        self.assert_version_error(endless, "The data is invalid")

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

    def test_connection_closed_without_reply_is_an_unavailable_server(self):
        self.assert_version_error(CLOSE, "The RPC server is unavailable")

    def test_server_that_never_answers_times_out(self):
        started = time.monotonic()
        self.assert_version_error(SILENT, "This operation returned because the timeout period "
                                  "expired", {"LEASEDUMP_TIMEOUT": "1"})
        self.assertLess(time.monotonic() - started, 10)

    def test_connection_not_accepted_within_five_seconds_times_out(self):
        # A listener whose backlog is full leaves further connection attempts unanswered.
        with socket.create_server(("127.0.0.1", 0), backlog=0) as listener:
            port = listener.getsockname()[1]
            fillers = [socket.socket() for _ in range(3)]
            for filler in fillers:
                filler.setblocking(False)
                filler.connect_ex(("127.0.0.1", port))
            time.sleep(0.2)
            started = time.monotonic()
            output = run_leasedump(f"127.0.0.1:{port}")
            elapsed = time.monotonic() - started
            for filler in fillers:
                filler.close()
        self.assertIn(error_line("This operation returned because the timeout period expired"),
                      output)
        self.assertGreater(elapsed, 4)
        self.assertLess(elapsed, 15)

    def test_server_text_that_names_no_host_is_an_unavailable_server(self):
        output = run_leasedump("admin@127.0.0.1:1")
        self.assertIn(error_line("The RPC server is unavailable"), output)


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
        with ScriptedServer(kea_like) as server:
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

    def test_requests_share_one_connection_and_carry_json_and_credentials(self):
        environment = {"LEASEDUMP_USER": "admin", "LEASEDUMP_PASSWORD": "s3cret",
                       # Only our own variables configure the client.
                       "http_proxy": "http://127.0.0.1:1", "ALL_PROXY": "http://127.0.0.1:1"}
        with ScriptedServer(kea_like) as server:
            output = run_leasedump(server.server_text, environment)
        self.assertIn(f"Queried 2 entries from server {server.server_text}.", output)
        self.assertEqual([r.command for r in server.requests],
                         ["version-get", "config-get", "lease4-get-page", "lease4-get-page"])
        self.assertEqual(server.connections, 1)
        credentials = base64.b64encode(b"admin:s3cret").decode()
        for request in server.requests:
            self.assertTrue(request.request_line.startswith("POST / HTTP/1.1"))
            self.assertEqual(request.headers["content-type"], "application/json")
            self.assertEqual(request.headers["authorization"], f"Basic {credentials}")
            self.assertEqual(request.json["service"], ["dhcp4"])
        self.assertEqual([page_from(r) for r in server.requests[2:]],
                         [FROM_BEFORE_SUBNET_7, FROM_BEFORE_SUBNET_9])
        self.assertGreater(server.requests[2].json["arguments"]["limit"], 0)


def chunked(reply):
    """The same reply with its body sent in chunks of a few bytes."""
    head, _, body = reply.partition(b"\r\n\r\n")
    head = b"\r\n".join(line for line in head.split(b"\r\n")
                         if not line.lower().startswith(b"content-length"))
    chunks = b"".join(b"%x\r\n%s\r\n" % (len(body[i:i + 7]), body[i:i + 7])
                      for i in range(0, len(body), 7))
    return head + b"\r\nTransfer-Encoding: chunked\r\n\r\n" + chunks + b"0\r\n\r\n"


def paced(pieces, pause):
    """A reply sent as `pieces` with `pause` seconds before each but the first; the connection is
    closed after it, as its head says."""
    def send(connection):
        for number, piece in enumerate(pieces):
            if number > 0:
                time.sleep(pause)
            connection.sendall(piece)
        connection.close()
    return send


def version_first(version_reply):
    return lambda request: version_reply if request.command == "version-get" else \
        kea_like(request)


class NoProgressLimit(unittest.TestCase):
    """LEASEDUMP_TIMEOUT is the time without a byte, not a least average rate."""

    def test_steady_trickle_slower_than_a_byte_a_second_is_not_cut(self):
        reply = http('[{"result": 0, "text": "2.2.0"}]', extra_headers="Connection: close\r\n")
        split = reply.index(b"\r\n\r\n") + 4
        body = reply[split:]
        # 0.8 bytes a second for ten seconds, never two seconds without one.
        pieces = [reply[:split]] + [body[i:i + 1] for i in range(8)] + [body[8:]]
        started = time.monotonic()
        with ScriptedServer(version_first(paced(pieces, 1.25))) as server:
            output = run_leasedump(server.server_text, {"LEASEDUMP_TIMEOUT": "2"})
        self.assertGreater(time.monotonic() - started, 10)
        self.assertNotIn("Error:", output)
        self.assertIn(f"Queried 2 entries from server {server.server_text}.", output)

    def test_silence_after_the_first_bytes_is_cut_after_the_limit(self):
        def falls_silent(connection):
            connection.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 40\r\n\r\n[{\"res")
            time.sleep(1)
            connection.sendall(b"ult\"")
            time.sleep(30)
        started = time.monotonic()
        with ScriptedServer(version_first(falls_silent)) as server:
            output, files = save_with_leasedump(server.server_text,
                                                environment={"LEASEDUMP_TIMEOUT": "2"})
        elapsed = time.monotonic() - started
        self.assertIn(error_line("This operation returned because the timeout period expired"),
                      output)
        self.assertEqual(files, {})
        self.assertGreater(elapsed, 3)
        self.assertLess(elapsed, 7)


class RepliesOfAnotherShape(unittest.TestCase):
    def run_against(self, respond):
        with ScriptedServer(respond) as server:
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
            with self.subTest(dhcp4=dhcp4):
                server, output, files = self.run_against(respond)
                self.assertIn(error_line("The data is invalid"), output)
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
            with self.subTest(lease=lease):
                server, output, files = self.run_against(respond)
                self.assertIn("Reading position: 192.168.7.0\r\n" +
                              error_line("The data is invalid") +
                              "Reading position: 10.9.0.0\r\n", output)
                self.assertIn(f"Queried 1 entries from server {server.server_text}.", output)
                self.assertIn(b"<ip>10.9.0.1</ip>", files["DHCP.xml"])
                self.assertNotIn(b"192.168.7", files["DHCP.xml"])


class FailedSubnetCalls(unittest.TestCase):
    def test_a_failed_subnet_is_reported_and_the_others_are_read(self):
        def second_subnet_fails(request):
            if page_from(request) == FROM_BEFORE_SUBNET_7:
                return http("not json")
            return kea_like(request)
        with ScriptedServer(second_subnet_fails) as server:
            output = run_leasedump(server.server_text)
        self.assertIn("Reading position: 192.168.7.0\r\n" + error_line("The data is invalid") +
                      "Reading position: 10.9.0.0\r\n", output)
        self.assertIn(f"Queried 0 entries from server {server.server_text}.", output)


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
        with ScriptedServer(respond) as server:
            output, files = save_with_leasedump(server.server_text, ["/text"])
        pages = [page_from(request) for request in server.requests[2:]]
        self.assertEqual(pages[0], "10.6.255.255")
        self.assertEqual(pages[-1], FROM_BEFORE_SUBNET_9)
        self.assertIn("Reading position: 10.7.0.0\r\n" +
                      error_line("The RPC server is unavailable") +
                      "Reading position: 10.9.0.0\r\n", output)
        self.assertTrue(files["DHCP.xml"].endswith(b"\r\n;10.9.0.1;02-00-00-09-00-01\r\n"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
