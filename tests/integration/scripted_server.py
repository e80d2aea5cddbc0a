"""Scripted control sockets for the integration tests: an HTTP server on 127.0.0.1, or a UNIX
socket as kea-dhcp4 serves it (one command a connection, closed after the answer), each answering
every request with what a function of the test gives."""

import json
import os
import socket
import tempfile
import threading
import time

SILENCE_SECONDS = 60

SILENT = object()  # keep the connection open and never answer
CLOSE = object()  # close the connection without a byte

TRANSPORTS = ("http", "unix")


def http(body, status="200 OK", extra_headers=""):
    if isinstance(body, str):
        body = body.encode()
    head = (f"HTTP/1.1 {status}\r\nContent-Type: application/json\r\n"
            f"Content-Length: {len(body)}\r\n{extra_headers}\r\n")
    return head.encode() + body


class Body(bytes):
    """A reply body for either transport: over HTTP it goes in a 200 answer on the open
    connection, over a UNIX socket it is sent and the connection closed."""


def answer(result, text="", arguments=None, bare=False):
    fields = {"result": result, "text": text}
    if arguments is not None:
        fields["arguments"] = arguments
    return Body(json.dumps(fields if bare else [fields]).encode())


class Stream:
    """A reply body sent as `pieces` with `pause` seconds before each but the first, then the
    connection closed, or held silent for `then_silent` seconds first. Over HTTP a head goes
    before it, with Content-Length `length` when given, else "Connection: close"."""

    def __init__(self, pieces, pause=0.0, length=None, then_silent=0):
        self.pieces, self.pause, self.length, self.then_silent = pieces, pause, length, then_silent

    def send(self, connection, with_head):
        if with_head:
            framing = (f"Content-Length: {self.length}" if self.length is not None
                       else "Connection: close")
            connection.sendall(f"HTTP/1.1 200 OK\r\n{framing}\r\n\r\n".encode())
        for number, piece in enumerate(self.pieces):
            if number > 0 and self.pause:
                time.sleep(self.pause)
            connection.sendall(piece)
        time.sleep(self.then_silent)
        connection.close()


def address_number(text):
    first, second, third, fourth = (int(part) for part in text.split("."))
    return (first << 24) | (second << 16) | (third << 8) | fourth


def page_of(request, leases, bare=False):
    """Kea's answer to the lease4-get-page `request` from `leases` (dictionaries as Kea writes
    them, in ascending address order): those after "from", at most "limit"."""
    arguments = request.json["arguments"]
    after = -1 if arguments["from"] == "start" else address_number(arguments["from"])
    page = [lease for lease in leases
            if address_number(lease["ip-address"]) > after][:arguments["limit"]]
    if not page:
        return answer(3, "0 IPv4 lease(s) found.", {"count": 0, "leases": []}, bare)
    return answer(0, f"{len(page)} IPv4 lease(s) found.", {"count": len(page), "leases": page},
                  bare)


class Request:
    def __init__(self, command_json, request_line="", headers=None):
        self.connection = None  # the number of the connection it came on, from 1
        self.request_line = request_line
        self.headers = headers or {}
        self.json = command_json
        self.command = (self.json or {}).get("command")

    @classmethod
    def of_http(cls, head, body):
        lines = head.decode("latin-1").split("\r\n")
        headers = {}
        for line in lines[1:]:
            name, _, value = line.partition(":")
            headers[name.strip().lower()] = value.strip()
        return cls(json.loads(body) if body else None, lines[0], headers)


def read_http_request(connection, pending):
    """The next request on the connection and the bytes after it; None at its end."""
    while b"\r\n\r\n" not in pending:
        chunk = connection.recv(65536)
        if not chunk:
            return None, b""
        pending += chunk
    head, _, pending = pending.partition(b"\r\n\r\n")
    length = int(Request.of_http(head, b"").headers.get("content-length", "0"))
    while len(pending) < length:
        pending += connection.recv(65536)
    return Request.of_http(head, pending[:length]), pending[length:]


def read_unix_command(connection):
    """The command of a connection, complete once its bytes are one whole JSON value, as
    kea-dhcp4 takes it; None when the connection ends first."""
    pending = b""
    while True:
        try:
            return Request(json.JSONDecoder().raw_decode(pending.decode())[0])
        except (ValueError, UnicodeDecodeError):
            pass
        chunk = connection.recv(65536)
        if not chunk:
            return None
        pending += chunk


class ScriptedServer:
    """Answers every request with what `respond(request)` gives: a Body, a Stream, SILENT, CLOSE,
    a function of the connection, or raw bytes (sent as they are). Over HTTP (127.0.0.1) the
    connection stays open for the next request after bytes; over "unix" (a socket in a folder of
    its own) every request has its own connection, closed after the answer."""

    def __init__(self, respond, transport="http"):
        self.respond = respond
        self.transport = transport
        self.requests = []
        self.connections = 0
        self._folder = None
        if transport == "unix":
            self._folder = tempfile.TemporaryDirectory(prefix="leasedump-scripted-")
            self.socket_path = os.path.join(self._folder.name, "kea4-ctrl-socket")
            self._listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            self._listener.bind(self.socket_path)
            self._listener.listen(16)
        else:
            self._listener = socket.create_server(("127.0.0.1", 0))
            self.port = self._listener.getsockname()[1]
        self._open = []
        self._stopping = False
        threading.Thread(target=self._accept, daemon=True).start()

    @property
    def server_text(self):
        return self.socket_path if self.transport == "unix" else f"127.0.0.1:{self.port}"

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
        if self._folder is not None:
            self._folder.cleanup()

    def _accept(self):
        while not self._stopping:
            try:
                connection, _ = self._listener.accept()
            except OSError:
                return
            self.connections += 1
            self._open.append(connection)
            serve = self._serve_unix if self.transport == "unix" else self._serve_http
            threading.Thread(target=serve, args=(connection, self.connections),
                             daemon=True).start()

    def _answer(self, connection, request, with_head):
        """Sends the reply to `request`; False when the connection is done with."""
        self.requests.append(request)
        reply = self.respond(request)
        if reply is SILENT:
            threading.Event().wait(SILENCE_SECONDS)
            return False
        if reply is CLOSE:
            connection.close()
            return False
        if isinstance(reply, Stream):
            reply.send(connection, with_head)
            return False
        if callable(reply):
            reply(connection)
            return False
        connection.sendall(http(reply) if isinstance(reply, Body) and with_head else reply)
        return with_head

    def _serve_http(self, connection, number):
        pending = b""
        try:
            while True:
                request, pending = read_http_request(connection, pending)
                if request is None:
                    return
                request.connection = number
                if not self._answer(connection, request, True):
                    return
        except OSError:
            pass

    def _serve_unix(self, connection, number):
        try:
            request = read_unix_command(connection)
            if request is not None:
                request.connection = number
                self._answer(connection, request, False)
            connection.close()
        except OSError:
            pass
