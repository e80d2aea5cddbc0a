#!/usr/bin/env python3
"""A throw-away Kea DHCPv4 server with its control agent on 127.0.0.1.

KeaSandbox writes the configurations and a memfile lease file into a temporary folder, starts
kea-dhcp4 (no interfaces, lease_cmds hook loaded unless told otherwise, control socket in the
folder) and kea-ctrl-agent on a free port, waits until the agent answers version-get, and stops
exactly the two processes it started: on leaving the `with` block, on Ctrl+C, on SIGTERM, and
(through the kernel's parent-death signal) when this process dies without cleaning up.

The agent may ask for HTTP basic authentication (`users`, a name-to-password mapping) and serve
HTTPS with a certificate from a throw-away CA (`tls=make_test_certificates(folder)`); it never asks
the client for a certificate.

Run as a program it serves sample leases until interrupted:
    python3 scripts/kea_sandbox.py                 # a few dozen leases over five subnets
    python3 scripts/kea_sandbox.py --leases 100000 --subnets 4
    LEASEDUMP_USER=admin LEASEDUMP_PASSWORD=... python3 scripts/kea_sandbox.py --tls --auth
"""

import argparse
import base64
import ctypes
import glob
import json
import os
import shutil
import signal
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import urllib.error
import urllib.request
from dataclasses import dataclass
from typing import Optional

LEASE_FILE_HEADER = ("address,hwaddr,client_id,valid_lifetime,expire,subnet_id,fqdn_fwd,fqdn_rev,"
                     "hostname,state,user_context")
# Far in the future (2096): Kea reclaims expired leases about 10 s after start.
FAR_FUTURE_EXPIRY = 4000000000
VALID_LIFETIME = 3600
READY_TIMEOUT_SECONDS = 60
STOP_TIMEOUT_SECONDS = 10


@dataclass(frozen=True)
class Subnet:
    id: int
    prefix: str  # "10.1.0.0/24"
    shared_network: Optional[str] = None


@dataclass(frozen=True)
class Lease:
    address: str
    subnet_id: int
    hwaddr: str = ""  # "00:16:3e:00:00:01"; an empty one needs a client id or state 1
    hostname: str = ""
    client_id: str = ""
    state: int = 0  # 0 default, 1 declined, 2 expired-reclaimed


def csv_field(text):
    """Kea's memfile CSV escapes of a text field."""
    return text.replace("&", "&#x26").replace(",", "&#x2c")


def lease_file_text(leases):
    rows = [LEASE_FILE_HEADER]
    for lease in leases:
        rows.append(",".join([
            lease.address, lease.hwaddr, lease.client_id, str(VALID_LIFETIME),
            str(FAR_FUTURE_EXPIRY), str(lease.subnet_id), "0", "0", csv_field(lease.hostname),
            str(lease.state), ""
        ]))
    return "\n".join(rows) + "\n"


@dataclass(frozen=True)
class TlsFiles:
    ca: str  # the CA certificate that signed the server's (PEM)
    cert: str  # the server's certificate, for the address 127.0.0.1 alone
    key: str  # its private key


def make_test_certificates(folder):
    """A throw-away CA and a server certificate that it signed, valid for two days."""
    def path(name):
        return os.path.join(folder, name)

    def openssl(*arguments):
        subprocess.run(["openssl", *arguments], check=True, capture_output=True, timeout=60)

    curve = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]
    openssl("req", "-x509", *curve, "-keyout", path("ca.key"), "-out", path("ca.pem"),
            "-days", "2", "-subj", "/CN=leasedump test CA",
            "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    openssl("req", *curve, "-keyout", path("server.key"), "-out", path("server.csr"),
            "-subj", "/CN=127.0.0.1")
    with open(path("server.ext"), "w") as extensions:
        extensions.write("subjectAltName=IP:127.0.0.1\n"
                         "basicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n")
    openssl("x509", "-req", "-in", path("server.csr"), "-CA", path("ca.pem"),
            "-CAkey", path("ca.key"), "-CAcreateserial", "-days", "2",
            "-extfile", path("server.ext"), "-out", path("server.pem"))
    return TlsFiles(path("ca.pem"), path("server.pem"), path("server.key"))


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def lease_cmds_hook():
    found = sorted(glob.glob("/usr/lib/*/kea/hooks/libdhcp_lease_cmds.so"))
    if not found:
        raise RuntimeError("libdhcp_lease_cmds.so not found: install kea-common")
    return found[0]


def apparmor_confines(program):
    """Whether AppArmor enforces a profile on /usr/sbin/`program` (when it cannot tell, as a
    non-root user may not, it assumes the packaged profile is loaded)."""
    try:
        with open("/sys/module/apparmor/parameters/enabled") as flag:
            if flag.read().strip() != "Y":
                return False
    except OSError:
        return False
    try:
        with open("/sys/kernel/security/apparmor/profiles") as profiles:
            return f"{program} (enforce)" in profiles.read()
    except OSError:
        return True


def kea_program(name, folder):
    """The packaged AppArmor profiles confine /usr/sbin/kea-* to /etc/kea, /run/kea and
    /var/lib/kea; a copy in the sandbox folder is not attached to them and may use the folder."""
    installed = shutil.which(name, path="/usr/sbin:/usr/local/sbin:" + os.environ.get("PATH", ""))
    if installed is None:
        raise RuntimeError(f"{name} not found: install kea-dhcp4-server and kea-ctrl-agent")
    if not apparmor_confines(name):
        return installed
    copy = os.path.join(folder, name)
    shutil.copy2(installed, copy)
    return copy


def _die_with_parent():
    """Runs in the child before exec: the kernel sends it SIGTERM when its parent dies."""
    PR_SET_PDEATHSIG = 1
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


def _raise_system_exit(signum, _frame):
    raise SystemExit(128 + signum)


class KeaSandbox:
    """with KeaSandbox(subnets, leases) as kea: ... kea.server_text is "127.0.0.1:PORT"."""

    def __init__(self, subnets, leases=(), load_lease_cmds=True, lease_file_text_override=None,
                 users=None, tls=None):
        self.subnets = list(subnets)
        self.leases = list(leases)
        self.load_lease_cmds = load_lease_cmds
        self.lease_file_override = lease_file_text_override
        self.users = dict(users or {})
        self.tls = tls
        self.folder = None
        self.port = None
        self._processes = []
        self._dhcp4 = None
        self._previous_sigterm = None

    @property
    def server_text(self):
        return f"127.0.0.1:{self.port}"

    @property
    def url(self):
        scheme = "https" if self.tls else "http"
        return f"{scheme}://127.0.0.1:{self.port}/"

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *_exc):
        self.stop()

    def start(self):
        self._catch_sigterm()
        try:
            self.folder = tempfile.mkdtemp(prefix="leasedump-kea-")
            self._write_lease_file()
            self.port = free_port()
            self._dhcp4 = self._spawn("kea-dhcp4", self._dhcp4_config())
            self._spawn("kea-ctrl-agent", self._agent_config())
            self._wait_until_ready()
        except BaseException:
            self.stop()
            raise

    def stop(self):
        """Stops the processes this sandbox started, and only those, then removes its folder."""
        for process in self._processes:
            if process.poll() is None:
                process.terminate()
        deadline = time.monotonic() + STOP_TIMEOUT_SECONDS
        for process in self._processes:
            try:
                process.wait(timeout=max(0.1, deadline - time.monotonic()))
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        self._processes = []
        self._dhcp4 = None
        if self.folder is not None:
            shutil.rmtree(self.folder, ignore_errors=True)
            self.folder = None
        self._restore_sigterm()

    def stop_dhcp4(self):
        """Stops kea-dhcp4 and waits for its end; the agent goes on without it."""
        if self._dhcp4 is not None and self._dhcp4.poll() is None:
            self._dhcp4.terminate()
            self._dhcp4.wait(timeout=STOP_TIMEOUT_SECONDS)

    def command(self, command, arguments=None, timeout=30):
        """Sends one command through the agent, as its first user when it asks for one and
        trusting the sandbox's CA; returns the decoded answer list."""
        request = {"command": command, "service": ["dhcp4"]}
        if arguments is not None:
            request["arguments"] = arguments
        headers = {"Content-Type": "application/json"}
        if self.users:
            user, password = next(iter(self.users.items()))
            token = base64.b64encode(f"{user}:{password}".encode()).decode()
            headers["Authorization"] = f"Basic {token}"
        context = ssl.create_default_context(cafile=self.tls.ca) if self.tls else None
        message = urllib.request.Request(self.url, data=json.dumps(request).encode(),
                                         headers=headers)
        with urllib.request.urlopen(message, timeout=timeout, context=context) as answer:
            return json.loads(answer.read())

    def log_tail(self, lines=20):
        text = []
        for name in ("kea-dhcp4.out", "kea-ctrl-agent.out", "kea-dhcp4.log", "kea-ctrl-agent.log"):
            path = os.path.join(self.folder or "", name)
            if os.path.exists(path):
                with open(path, errors="replace") as log:
                    text.append(f"--- {name}\n" + "".join(log.readlines()[-lines:]))
        return "\n".join(text)

    def _catch_sigterm(self):
        if threading.current_thread() is threading.main_thread():
            self._previous_sigterm = signal.signal(signal.SIGTERM, _raise_system_exit)

    def _restore_sigterm(self):
        if self._previous_sigterm is not None:
            signal.signal(signal.SIGTERM, self._previous_sigterm)
            self._previous_sigterm = None

    def _path(self, name):
        return os.path.join(self.folder, name)

    def _write_lease_file(self):
        text = self.lease_file_override
        if text is None:
            text = lease_file_text(self.leases)
        with open(self._path("leases4.csv"), "w", encoding="utf-8") as lease_file:
            lease_file.write(text)

    def _logger(self, name):
        return [{"name": name, "severity": "INFO",
                 "output_options": [{"output": self._path(name + ".log")}]}]

    def _dhcp4_config(self):
        plain = [{"id": s.id, "subnet": s.prefix} for s in self.subnets if not s.shared_network]
        networks = {}
        for s in self.subnets:
            if s.shared_network:
                networks.setdefault(s.shared_network, []).append({"id": s.id, "subnet": s.prefix})
        config = {
            "interfaces-config": {"interfaces": []},
            "control-socket": {"socket-type": "unix", "socket-name": self._path("kea4.sock")},
            "lease-database": {"type": "memfile", "name": self._path("leases4.csv"),
                               "lfc-interval": 0},
            "valid-lifetime": VALID_LIFETIME,
            "subnet4": plain,
            "shared-networks": [{"name": n, "subnet4": s} for n, s in networks.items()],
            "loggers": self._logger("kea-dhcp4"),
        }
        if self.load_lease_cmds:
            config["hooks-libraries"] = [{"library": lease_cmds_hook()}]
        return {"Dhcp4": config}

    def _agent_config(self):
        config = {
            "http-host": "127.0.0.1",
            "http-port": self.port,
            "control-sockets": {"dhcp4": {"socket-type": "unix",
                                          "socket-name": self._path("kea4.sock")}},
            "loggers": self._logger("kea-ctrl-agent"),
        }
        if self.users:
            config["authentication"] = {
                "type": "basic", "realm": "leasedump-sandbox",
                "clients": [{"user": u, "password": p} for u, p in self.users.items()]}
        if self.tls:
            config.update({"trust-anchor": self.tls.ca, "cert-file": self.tls.cert,
                           "key-file": self.tls.key, "cert-required": False})
        return {"Control-agent": config}

    def _spawn(self, name, config):
        config_path = self._path(name + ".json")
        with open(config_path, "w") as config_file:
            json.dump(config, config_file, indent=1)
        # Kea's defaults (/run/kea) may not exist, and Kea refuses to start while a PID file there
        # names a live process.
        environment = dict(os.environ, KEA_PIDFILE_DIR=self.folder, KEA_LOCKFILE_DIR=self.folder)
        with open(self._path(name + ".out"), "w") as output:
            process = subprocess.Popen(
                [kea_program(name, self.folder), "-c", config_path],
                stdin=subprocess.DEVNULL, stdout=output, stderr=subprocess.STDOUT,
                env=environment, cwd=self.folder,
                # Its own session: a Ctrl+C at the terminal reaches us, and we stop it.
                start_new_session=True, preexec_fn=_die_with_parent)
        self._processes.append(process)
        return process

    def _wait_until_ready(self):
        deadline = time.monotonic() + READY_TIMEOUT_SECONDS
        while time.monotonic() < deadline:
            for process in self._processes:
                if process.poll() is not None:
                    raise RuntimeError(f"Kea stopped during start-up:\n{self.log_tail()}")
            try:
                if self.command("version-get", timeout=5)[0].get("result") == 0:
                    return
            except (OSError, ValueError, IndexError, KeyError, AttributeError):
                pass
            time.sleep(0.1)
        raise RuntimeError(f"Kea did not answer within {READY_TIMEOUT_SECONDS} s:\n{self.log_tail()}")


def sample_network():
    """Five subnets, two of them in a shared network, with a few dozen named leases."""
    subnets = [
        Subnet(1, "192.168.10.0/24"),
        Subnet(2, "192.168.20.0/24"),
        Subnet(3, "10.30.0.0/16", shared_network="campus"),
        Subnet(4, "10.40.0.0/16", shared_network="campus"),
        Subnet(5, "172.16.50.0/24"),
    ]
    leases = []
    names = ["reception", "printer-1", "printer-2", "nas", "camera-door", "laptop-anna",
             "laptop-ben", "phone-carla", "desk-12", "desk-13"]
    bases = {1: "192.168.10.", 2: "192.168.20.", 3: "10.30.1.", 4: "10.40.2."}
    for subnet_id, base in bases.items():
        for i, name in enumerate(names[:8 + subnet_id % 3]):
            leases.append(Lease(f"{base}{20 + i}", subnet_id,
                                f"00:16:3e:{subnet_id:02x}:00:{i:02x}",
                                f"{name}.site{subnet_id}.example.com."))
    leases.append(Lease("192.168.20.99", 2, "", "", client_id="01:02:03:04", state=1))
    return subnets, leases


def generated_network(lease_count, subnet_count):
    """`subnet_count` /16 subnets (the last one in a shared network) sharing `lease_count`
    leases evenly, for measurements."""
    subnets = [Subnet(i + 1, f"10.{i + 1}.0.0/16",
                      shared_network="measured" if i == subnet_count - 1 else None)
               for i in range(subnet_count)]
    if lease_count > subnet_count * 65534:
        raise ValueError("more leases than the /16 subnets hold")
    leases = []
    for n in range(lease_count):
        subnet = n % subnet_count + 1
        host = n // subnet_count + 1
        leases.append(Lease(f"10.{subnet}.{host >> 8}.{host & 0xff}", subnet,
                            f"00:16:3e:{subnet:02x}:{host >> 8:02x}:{host & 0xff:02x}",
                            f"host-{n}.example.com."))
    return subnets, leases


def main():
    parser = argparse.ArgumentParser(description="Serve leases from a throw-away Kea server.")
    parser.add_argument("--leases", type=int, default=0,
                        help="generate this many leases instead of the sample")
    parser.add_argument("--subnets", type=int, default=4, help="subnets of the generated leases")
    parser.add_argument("--tls", action="store_true",
                        help="serve HTTPS with a certificate from a throw-away CA")
    parser.add_argument("--auth", action="store_true",
                        help="ask for the user and password of LEASEDUMP_USER and "
                             "LEASEDUMP_PASSWORD (never given on the command line)")
    options = parser.parse_args()
    if options.leases > 0:
        subnets, leases = generated_network(options.leases, max(1, options.subnets))
    else:
        subnets, leases = sample_network()
    users = None
    if options.auth:
        user, password = os.environ.get("LEASEDUMP_USER"), os.environ.get("LEASEDUMP_PASSWORD")
        if not user or not password:
            parser.error("--auth needs LEASEDUMP_USER and LEASEDUMP_PASSWORD in the environment")
        users = {user: password}
    try:
        with tempfile.TemporaryDirectory(prefix="leasedump-ca-") as certificates:
            tls = make_test_certificates(certificates) if options.tls else None
            with KeaSandbox(subnets, leases, users=users, tls=tls) as kea:
                server = kea.url if tls else kea.server_text
                print(f"Kea is serving {len(leases)} leases at {server}; Ctrl+C stops it.",
                      flush=True)
                if tls:
                    print(f"Its CA: LEASEDUMP_CA_FILE={tls.ca}", flush=True)
                while True:
                    time.sleep(3600)
    except KeyboardInterrupt:
        pass
    return 0

if __name__ == "__main__":
    sys.exit(main())
