"""leasedump against scripted HTTP servers on 127.0.0.1 that fail in ways Kea seldom does."""

import base64
import json
import os
import socket
import threading
import time
import unittest

from program_runs import error_line, probe_api, run_leasedump

MAX_REPLY_BYTES = 256 << 20
SILENCE_SECONDS = 60

SILENT = object()  # keep the connection open and never answer
CLOSE = object()  # close the connection without a byte


def http(body, status="200 OK", extra_headers=""):
    if isinstance(body, str):
        body = body.encode()
    head = (f"HTTP/1.1 {status}\r\nContent-Type: application/json\r\n"
            f"Content-Length: {len(body)}\r\n{extra_headers}\r\n")
    return head.encode() + body


def answer(result, text="", arguments=None, bare=False):
    fields = {"result": result, "text": text}
    if arguments is not None:
        fields["arguments"] = arguments
    return http(json.dumps(fields if bare else [fields]))


class Request:
    def __init__(self, head, body):
        lines = head.decode("latin-1").split("\r\n")
        self.request_line = lines[0]
        self.headers = {}
        for line in lines[1:]:
            name, _, value = line.partition(":")
            self.headers[name.strip().lower()] = value.strip()
        self.json = json.loads(body) if body else None
        self.command = (self.json or {}).get("command")


class ScriptedServer:
    """Answers every request on 127.0.0.1 with what `respond(request)` gives: bytes to send (the
    connection stays open for the next request), SILENT or CLOSE."""

    def __init__(self, respond):
        self.respond = respond
        self.requests = []
        self.connections = 0
        self._listener = socket.create_server(("127.0.0.1", 0))
        self.port = self._listener.getsockname()[1]
        self._open = []
        self._stopping = False
        threading.Thread(target=self._accept, daemon=True).start()

    @property
    def server_text(self):
        return f"127.0.0.1:{self.port}"

    def __enter__(self):
        return self

    def __exit__(self, *_exc):
        self._stopping = True
        self._listener.close()
        for connection in self._open:
            try:
                connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            connection.close()

    def _accept(self):
        while not self._stopping:
            try:
                connection, _ = self._listener.accept()
            except OSError:
                return
            self.connections += 1
            self._open.append(connection)
            threading.Thread(target=self._serve, args=(connection,), daemon=True).start()

    def _serve(self, connection):
        pending = b""
        try:
            while True:
                while b"\r\n\r\n" not in pending:
                    chunk = connection.recv(65536)
                    if not chunk:
                        return
                    pending += chunk
                head, _, pending = pending.partition(b"\r\n\r\n")
                request = Request(head, b"")
                length = int(request.headers.get("content-length", "0"))
                while len(pending) < length:
                    pending += connection.recv(65536)
                request = Request(head, pending[:length])
                pending = pending[length:]
                self.requests.append(request)
                reply = self.respond(request)
                if reply is SILENT:
                    threading.Event().wait(SILENCE_SECONDS)
                    return
                if reply is CLOSE:
                    connection.close()
                    return
                if callable(reply):
                    reply(connection)
                    return
                connection.sendall(reply)
        except OSError:
            pass


class FailedVersionCall(unittest.TestCase):
    """Every failure of the first call ends the query with its error line and 0 entries."""

    def assert_version_error(self, reply, text, environment=None):
        with ScriptedServer(lambda request: reply) as server:
            output = run_leasedump(server.server_text, environment)
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


def kea_like(request):
    """A newer Kea: bare answer objects, code points above 255 in host names."""
    if request.command == "version-get":
        return answer(0, "2.6.1", bare=True)
    if request.command == "config-get":
        return answer(0, arguments={"Dhcp4": {
            "subnet4": [{"id": 7, "subnet": "192.168.7.0/24"}],
            "shared-networks": [{"name": "n", "subnet4": [{"id": 9, "subnet": "10.9.0.0/16"}]}]}},
            bare=True)
    if request.json["arguments"] == {"subnets": [7]}:
        return answer(0, arguments={"leases": [
            {"ip-address": "192.168.7.5", "hw-address": "0a:0b:0c:0d:0e:0f",
             "hostname": "\u65e5\u672c.example.", "cltt": 1000, "valid-lft": 60},
            {"ip-address": "192.168.7.6", "hw-address": "", "hostname": "caf\u00e9."}]},
            bare=True)
    return answer(3, "0 IPv4 lease(s) found.", {"leases": []}, bare=True)


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
                         ["version-get", "config-get", "lease4-get-all", "lease4-get-all"])
        self.assertEqual(server.connections, 1)
        credentials = base64.b64encode(b"admin:s3cret").decode()
        for request in server.requests:
            self.assertTrue(request.request_line.startswith("POST / HTTP/1.1"))
            self.assertEqual(request.headers["content-type"], "application/json")
            self.assertEqual(request.headers["authorization"], f"Basic {credentials}")
            self.assertEqual(request.json["service"], ["dhcp4"])
        self.assertEqual(server.requests[2].json["arguments"], {"subnets": [7]})
        self.assertEqual(server.requests[3].json["arguments"], {"subnets": [9]})


class FailedSubnetCalls(unittest.TestCase):
    def test_a_failed_subnet_is_reported_and_the_others_are_read(self):
        def second_subnet_fails(request):
            if request.command == "lease4-get-all" and request.json["arguments"]["subnets"] == [7]:
                return http("not json")
            return kea_like(request)
        with ScriptedServer(second_subnet_fails) as server:
            output = run_leasedump(server.server_text)
        self.assertIn("Reading position: 192.168.7.0\r\n" + error_line("The data is invalid") +
                      "Reading position: 10.9.0.0\r\n", output)
        self.assertIn(f"Queried 0 entries from server {server.server_text}.", output)


if __name__ == "__main__":
    unittest.main(verbosity=2)
