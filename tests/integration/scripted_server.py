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
