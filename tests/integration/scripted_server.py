"""Scripted HTTP servers on 127.0.0.1 for the integration tests: each request is answered with
what a function of the test gives."""

import json
import socket
import threading

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
