"""The slow link must be a latency and nothing else, or the slow-link table measures the proxy:
each chunk late by the delay (not by the delay times the chunks before it), connections side by
side without waiting for each other, and both ends closed when one closes.

    python3 bench/test_delay_proxy.py"""

import socket
import threading
import time
import unittest

from delay_proxy import DelayProxy

# Large enough that a busy machine's late thread wake-ups (tens of ms) stay well below it, while
# the faults it guards against are whole multiples of it.
DELAY = 0.1
SLACK = DELAY / 2


class EchoServer:
    """Sends back what it reads, one thread a connection, until the client half-closes."""

    def __init__(self):
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.address = self.listener.getsockname()
        threading.Thread(target=self._accept, daemon=True).start()

    def close(self):
        self.listener.close()

    def _accept(self):
        while True:
            try:
                connection, _ = self.listener.accept()
            except OSError:
                return
            threading.Thread(target=self._echo, args=(connection,), daemon=True).start()

    @staticmethod
    def _echo(connection):
        with connection:
            while chunk := connection.recv(1 << 16):
                connection.sendall(chunk)


def round_trip(port, payload=b"ping"):
    """Seconds from connect to the echo of `payload`, and whether the proxy then closed."""
    with socket.create_connection(("127.0.0.1", port)) as client:
        started = time.monotonic()
        client.sendall(payload)
        received = b""
        while len(received) < len(payload):
            received += client.recv(1 << 16)
        elapsed = time.monotonic() - started
        client.shutdown(socket.SHUT_WR)
        closed = client.recv(1) == b""
    return elapsed, received == payload and closed


class DelayProxyTest(unittest.TestCase):
    def setUp(self):
        self.echo = EchoServer()
        self.proxy = DelayProxy(self.echo.address, DELAY).__enter__()

    def tearDown(self):
        self.proxy.close()
        self.echo.close()

    def test_a_new_connection_pays_the_handshake_then_each_exchange_one_round_trip(self):
        with socket.create_connection(("127.0.0.1", self.proxy.port)) as client:
            started = time.monotonic()
            exchanges = []
            for _ in range(3):
                client.sendall(b"x")
                self.assertEqual(client.recv(16), b"x")
                exchanges.append(time.monotonic() - started)
                started = time.monotonic()
        self.assertTrue(4 * DELAY <= exchanges[0] < 4 * DELAY + SLACK, exchanges)
        for later in exchanges[1:]:
            self.assertTrue(2 * DELAY <= later < 2 * DELAY + SLACK, exchanges)
        self.assertEqual(self.proxy.take_connection_count(), 1)
        self.assertEqual(self.proxy.take_connection_count(), 0)

    def test_a_steady_stream_is_late_by_the_delay_not_by_its_length(self):
        with socket.create_connection(("127.0.0.1", self.proxy.port)) as client:
            client.sendall(b"warm")
            client.recv(16)
            arrivals = []

            def receive():
                received = 0
                while received < 20:
                    received += len(client.recv(16))
                    arrivals.append(time.monotonic())
            reader = threading.Thread(target=receive)
            reader.start()
            started = time.monotonic()
            for _ in range(20):  # 20 chunks over 2 delays: far more than one per delay
                client.sendall(b"y")
                time.sleep(DELAY / 10)
            reader.join()
        self.assertLess(arrivals[-1] - started, 2 * DELAY + 2 * DELAY + SLACK)

    def test_connections_side_by_side_do_not_wait_for_each_other(self):
        results = [None] * 17
        payload = bytes(range(256)) * 1024  # 256 KiB each, several chunks both ways

        def one(index):
            results[index] = round_trip(self.proxy.port, payload)
        threads = [threading.Thread(target=one, args=(i,)) for i in range(len(results))]
        started = time.monotonic()
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        # One after another they would take 17 handshakes and round trips, not 2.
        self.assertLess(time.monotonic() - started, 2 * 4 * DELAY)
        self.assertTrue(all(intact for _, intact in results))
        self.assertEqual(self.proxy.take_connection_count(), len(results))


if __name__ == "__main__":
    unittest.main()
