"""Runs of the built programs for the integration tests."""

import json
import os
import subprocess
import tempfile

BUILD_DIR = os.environ["LEASEDUMP_BUILD_DIR"]
LEASEDUMP = os.path.join(BUILD_DIR, "leasedump")
PROBE = os.path.join(BUILD_DIR, "tests", "integration", "kea_probe")
RUN_TIMEOUT = 60


def checked_run(command, stdin=b"", environment=None, cwd=None):
    """Standard output of a run that must end normally and quietly, whatever the server did:
    with status 2 when it wrote an error line, 0 when it did not."""
    result = subprocess.run(command, input=stdin, capture_output=True, timeout=RUN_TIMEOUT,
                            env=dict(os.environ, **(environment or {})), cwd=cwd)
    output = result.stdout.decode("utf-8", errors="replace")
    status = 2 if "\r\n\r\nError: " in output or "\r\n\r\nCannot " in output else 0
    if result.returncode != status or result.stderr:
        raise AssertionError(f"{command} ended with {result.returncode}: {result.stderr[-2000:]}")
    return output


def save_with_leasedump(server_text, arguments=(), environment=None, prefix=()):
    """leasedump's standard output after the server text and an empty file name answer, and the
    files it left in its (otherwise empty) working directory, by name. `prefix` runs it through
    another command, such as `ip netns exec NAME`."""
    with tempfile.TemporaryDirectory() as folder:
        output = checked_run([*prefix, os.path.abspath(LEASEDUMP), *arguments],
                             f"{server_text}\n\n".encode(), environment, cwd=folder)
        files = {}
        for name in os.listdir(folder):
            with open(os.path.join(folder, name), "rb") as file:
                files[name] = file.read()
        return output, files


def run_leasedump(server_text, environment=None):
    """leasedump's standard output after the server text and an empty file name answer."""
    return save_with_leasedump(server_text, environment=environment)[0]


def console_lines(output):
    return output.split("\r\n")


def error_line(text):
    return f"\r\nError: {text}\r\n"


def probe_api(server_text, *extra_subnets):
    """The answers of every DHCP API call, one dictionary per call."""
    output = checked_run([PROBE, "api", server_text, *extra_subnets])
    return [json.loads(line) for line in output.splitlines()]
