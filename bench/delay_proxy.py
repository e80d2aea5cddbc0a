"""A slow link on 127.0.0.1, for measuring against a Kea that is a VPN away (the kernel here has
no netem): a TCP proxy that holds every chunk it reads for `delay` seconds before writing it on,
in each direction.

    with DelayProxy(("127.0.0.1", kea_port), delay=0.025) as proxy:
        ... connect to 127.0.0.1:proxy.port ...
        proxy.take_connection_count()

It is a latency, not a throughput limit: a chunk read at t leaves at t + delay whatever else is
in flight, chunks keep their order, and connections do not wait for each other (each direction
of each connection has its own reader and writer thread). A new connection also pays the round
trip of TCP's handshake: the client's connect() returns at once here, so its first bytes are held
until one round trip after the accept, when they would have left over a real link."""

import collections
import contextlib
import socket
import threading
import time

CHUNK = 1 << 16


class _Direction:
    """Bytes from one socket to the other: the reader stamps each chunk with the time it may
    leave; the writer sleeps until then. EOF is passed on as a half-close, when it is due."""

    def __init__(self, source, target, delay, not_before):
        self.source, self.target, self.delay = source, target, delay
        self.not_before = not_before
        self.chunks = collections.deque()
        self.ready = threading.Condition()

    def read(self):
        while True:
            try:
                chunk = self.source.recv(CHUNK)
            except OSError:
                chunk = b""
            with self.ready:
                self.chunks.append((max(time.monotonic() + self.delay, self.not_before), chunk))
                self.ready.notify()
            if not chunk:
                return

    def write(self):
        while True:
            with self.ready:
                while not self.chunks:
                    self.ready.wait()
                due, chunk = self.chunks.popleft()
            pause = due - time.monotonic()
            if pause > 0:
                time.sleep(pause)
            try:
                if not chunk:
                    self.target.shutdown(socket.SHUT_WR)
                    return
                self.target.sendall(chunk)
            except OSError:
                # The other end is gone: stop its sender too, so that the connection ends.
                with contextlib.suppress(OSError):
                    self.source.shutdown(socket.SHUT_RDWR)
                return


class DelayProxy:
    """Listens on a free port of 127.0.0.1 and forwards each accepted connection to `upstream`
    over a connection of its own, `delay` seconds late each way. It counts the connections it
    accepted, so that a measurement can report how many a client opened."""

    def __init__(self, upstream, delay):
        self.upstream, self.delay = upstream, delay
        self._listener = socket.create_server(("127.0.0.1", 0), backlog=128)
        self.port = self._listener.getsockname()[1]
        self._count = 0
        self._lock = threading.Lock()
        self._open = set()
        self._acceptor = threading.Thread(target=self._accept, daemon=True)

    def __enter__(self):
        self._acceptor.start()
        return self

    def __exit__(self, *_exc):
        self.close()

    def take_connection_count(self):
        """The connections accepted since the last call."""
        with self._lock:
            count, self._count = self._count, 0
        return count

    def close(self):
        with contextlib.suppress(OSError):
            self._listener.shutdown(socket.SHUT_RDWR)
        self._listener.close()
        self._acceptor.join()
        with self._lock:
            remaining = list(self._open)
        for sock in remaining:
            with contextlib.suppress(OSError):
                sock.shutdown(socket.SHUT_RDWR)

    def _accept(self):
        while True:
            try:
                client, _ = self._listener.accept()
            except OSError:
                return
            accepted = time.monotonic()
            with self._lock:
                self._count += 1
            threading.Thread(target=self._serve, args=(client, accepted), daemon=True).start()

    def _serve(self, client, accepted):
        """Both directions of one connection; both sockets close when both have ended."""
        try:
            server = socket.create_connection(self.upstream)
        except OSError:
            client.close()
            return
        for sock in (client, server):
            sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        with self._lock:
            self._open.update((client, server))
        directions = [_Direction(client, server, self.delay, accepted + 3 * self.delay),
                      _Direction(server, client, self.delay, accepted)]
        threads = [threading.Thread(target=work, daemon=True)
                   for direction in directions for work in (direction.read, direction.write)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        with self._lock:
            self._open.difference_update((client, server))
        client.close()
        server.close()
