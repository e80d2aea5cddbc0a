#!/usr/bin/env python3
"""A throw-away Kea DHCPv4 server on 127.0.0.1, reached the way installations reach theirs.

KeaSandbox writes the configurations and a memfile lease file into a temporary folder, starts
kea-dhcp4 (no interfaces unless told, lease_cmds hook loaded unless told otherwise) and what the
chosen path needs, waits until the server answers version-get over that path, and stops exactly
the processes it started: on leaving the `with` block, on Ctrl+C, on SIGTERM, and (through the
kernel's parent-death signal) when this process dies without cleaning up.

The paths (`path`):
  "agent"   kea-ctrl-agent on a free port, in front of kea-dhcp4's UNIX socket (every release)
  "direct"  kea-dhcp4's own HTTP control socket on a free port (Kea 2.7.2 and later)
  "unix"    kea-dhcp4's UNIX control socket alone; `server_text` is its absolute path
An HTTP path may ask for basic authentication (`users`, a name-to-password mapping; each password
is kept in a file, as the distributions do, see `password_file`) and serve HTTPS with a
certificate from a throw-away CA (`tls=make_test_certificates(folder)`); it never asks the client
for a certificate.

The release (`release`): the host's own Kea, or a Debian chroot that scripts/make-kea-chroots
made (`kea_release("trixie")`: Kea 2.6, `kea_release("sid")`: Kea 3.0). A chroot shares the
host's network and file system below its root, so its sockets and ports serve the host.

For real DHCP clients kea-dhcp4 may serve `interfaces` inside a network `namespace` (the
subnets then need a `pool`); its control socket still reaches the host through the file system.

Run as a program it serves sample leases until interrupted:
    python3 scripts/kea_sandbox.py                 # a few dozen leases over five subnets
    python3 scripts/kea_sandbox.py --leases 100000 --subnets 4
    python3 scripts/kea_sandbox.py --release sid --path unix
    LEASEDUMP_USER=admin LEASEDUMP_PASSWORD=... python3 scripts/kea_sandbox.py --tls --auth
    python3 scripts/kea_sandbox.py --database postgresql --path unix   # or --database mysql

With `lease_database` (PostgresDatabase or MariadbDatabase, started first) kea-dhcp4 keeps its
leases in that database server instead of the memfile, and the sandbox adds its leases with
lease4-add once kea-dhcp4 answers.
"""

import argparse
import base64
import contextlib
import ctypes
import glob
import ipaddress
import json
import os
import pwd
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

from sandbox_host import apparmor_confines

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
    pool: Optional[str] = None  # "192.0.2.100-192.0.2.199", for clients that ask


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


@dataclass(frozen=True)
class KeaRelease:
    name: str  # "host", or the Debian suite of a chroot
    root: str = "/"  # where its file system starts, as the host sees it

    @property
    def chrooted(self):
        return self.root != "/"

    def outside(self, inner_path):
        """The host's path of a path inside the release."""
        return os.path.join(self.root, inner_path.lstrip("/")) if self.chrooted else inner_path

    def inside(self, host_path):
        """The release's path of a host path below its root."""
        if not self.chrooted:
            return host_path
        return "/" + os.path.relpath(host_path, self.root)


HOST_RELEASE = KeaRelease("host")
CHROOT_SUITES = ("trixie", "sid")


def chroot_cache():
    return os.path.join(os.environ.get("LEASEDUMP_CACHE", "/var/cache/leasedump"), "chroots")


def kea_release(name):
    """The release of that name, or None when it cannot run here (a chroot that
    scripts/make-kea-chroots has not finished, or a user who may not enter it)."""
    if name == "host":
        return HOST_RELEASE
    root = os.path.join(chroot_cache(), name)
    if os.geteuid() != 0 or not os.path.exists(os.path.join(root, ".leasedump-complete")):
        return None
    return KeaRelease(name, root)


def lease_cmds_hook(release=HOST_RELEASE):
    """The hook's path inside the release."""
    found = sorted(glob.glob(release.outside("/usr/lib/*/kea/hooks/libdhcp_lease_cmds.so")))
    if not found:
        raise RuntimeError(f"libdhcp_lease_cmds.so not found in the {release.name} release: "
                           "install kea-common")
    return release.inside(found[0])


def kea_program(name, folder, release=HOST_RELEASE):
    """The program's path inside the release. The packaged AppArmor profiles confine
    /usr/sbin/kea-* to /etc/kea, /run/kea and /var/lib/kea; a copy in the sandbox folder is not
    attached to them and may use the folder (a chroot's programs have other paths anyway)."""
    if release.chrooted:
        return f"/usr/sbin/{name}"
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


def _child_setup(root):
    def setup():
        _die_with_parent()
        if root != "/":
            os.chroot(root)
            os.chdir("/")
    return setup


def _raise_system_exit(signum, _frame):
    raise SystemExit(128 + signum)


def unix_command(socket_path, request, timeout=30):
    """One request over a Kea UNIX control socket; the decoded answer."""
    with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as connection:
        connection.settimeout(timeout)
        connection.connect(socket_path)
        # UTF-8 as it stands: Kea 2.2 takes a \u00XX escape for the single byte XX.
        connection.sendall(json.dumps(request, ensure_ascii=False).encode())
        received = bytearray()
        while True:
            chunk = connection.recv(1 << 20)
            if chunk:
                received += chunk
            if not chunk or received.rstrip().endswith(b"}"):
                try:
                    return json.loads(received)
                except ValueError:
                    if not chunk:
                        raise


DATABASE_NAME = "kea"
DATABASE_USER = "kea"
DATABASE_PASSWORD = "Kea-db-s3cret"
# Kea's MySQL schema keeps a lease's expiry in a TIMESTAMP, which ends in 2038; Kea reclaims
# expired leases about 10 s after start. Leases added to a SQL database expire in 30 days.
SQL_LEASE_DAYS = 30


class LeaseDatabase:
    """A throw-away database server for kea-dhcp4's leases: its own data folder in a temporary
    folder, on 127.0.0.1 and a free port (and a UNIX socket in that folder), with Kea's schema
    made by kea-admin db-init, a database and a user of its own. Stopped by its PID on leaving
    the `with` block (and, through the kernel's parent-death signal, when this process dies)."""

    kind = ""  # Kea's name of the database type
    backend = ""  # kea-admin's
    system_user = ""  # the user a database server runs as when we are root (both refuse root)
    stop_signal = signal.SIGTERM

    def __init__(self):
        self.folder = None
        self.port = None
        self._process = None

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *_exc):
        self.stop()

    def start(self):
        try:
            self.folder = tempfile.mkdtemp(prefix=f"leasedump-{self.kind}-")
            os.chmod(self.folder, 0o700)
            account = self._account()
            if account is not None:
                os.chown(self.folder, account.pw_uid, account.pw_gid)
            self.port = free_port()
            self._initialise()
            with open(self._path("server.log"), "w") as log:
                self._process = subprocess.Popen(
                    self._server_command(), stdin=subprocess.DEVNULL, stdout=log,
                    stderr=subprocess.STDOUT, cwd=self.folder, start_new_session=True,
                    preexec_fn=self._child_setup())
            self._wait_until_ready()
            self._create_database()
            self._run(["kea-admin", "db-init", self.backend, "-h", "127.0.0.1", "-P",
                       str(self.port), "-u", DATABASE_USER, "-p", DATABASE_PASSWORD,
                       "-n", DATABASE_NAME, *self._kea_admin_extra()])
        except BaseException:
            self.stop()
            raise

    def stop(self):
        if self._process is not None:
            if self._process.poll() is None:
                self._process.send_signal(self.stop_signal)
            try:
                self._process.wait(timeout=STOP_TIMEOUT_SECONDS * 3)
            except subprocess.TimeoutExpired:
                self._process.kill()
                self._process.wait()
            self._process = None
        if self.folder is not None:
            shutil.rmtree(self.folder, ignore_errors=True)
            self.folder = None

    def _kea_admin_extra(self):
        return []

    def kea_config(self):
        """kea-dhcp4's "lease-database" for this database."""
        return {"type": self.kind, "name": DATABASE_NAME, "host": "127.0.0.1", "port": self.port,
                "user": DATABASE_USER, "password": DATABASE_PASSWORD}

    def fill(self, leases, expire):
        """Writes the leases straight into Kea's lease table (for measurements: one lease4-add a
        lease takes minutes for 200,000)."""
        raise NotImplementedError

    def log_tail(self, lines=20):
        path = self._path("server.log") if self.folder else ""
        if not os.path.exists(path):
            return ""
        with open(path, errors="replace") as log:
            return "".join(log.readlines()[-lines:])

    def _path(self, name):
        return os.path.join(self.folder, name)

    def _account(self):
        return pwd.getpwnam(self.system_user) if os.geteuid() == 0 else None

    def _child_setup(self, as_account=True):
        account = self._account() if as_account else None

        def setup():
            _die_with_parent()
            if account is not None:
                os.setgroups([])
                os.setgid(account.pw_gid)
                os.setuid(account.pw_uid)
        return setup

    def _run(self, command, as_account=False, input=None, quiet_failure=False):
        result = subprocess.run(command, input=input, capture_output=True, timeout=120,
                                preexec_fn=self._child_setup(as_account))
        if result.returncode != 0:
            if not quiet_failure:
                raise RuntimeError(f"{command[0]} failed ({result.returncode}): "
                                   f"{result.stderr.decode(errors='replace')[-2000:]}")
            raise subprocess.CalledProcessError(result.returncode, command)
        return result

    def _wait_until_ready(self):
        deadline = time.monotonic() + READY_TIMEOUT_SECONDS
        while time.monotonic() < deadline:
            if self._process.poll() is not None:
                raise RuntimeError(f"{self.kind} stopped during start-up:\n{self.log_tail()}")
            try:
                self._superuser_sql("SELECT 1", quiet_failure=True)
                return
            except subprocess.CalledProcessError:
                time.sleep(0.1)
        raise RuntimeError(f"{self.kind} did not answer within {READY_TIMEOUT_SECONDS} s:\n"
                           f"{self.log_tail()}")


def _newest(pattern):
    found = sorted(glob.glob(pattern), key=lambda path: [int(part) for part in
                                                          path.split("/") if part.isdigit()])
    if not found:
        raise RuntimeError(f"{pattern} not found: install the database server's package")
    return found[-1]


def _sql_expiry(expire):
    return time.strftime("%Y-%m-%d %H:%M:%S", time.gmtime(expire))


def _address_number(text):
    return int(ipaddress.IPv4Address(text))


class PostgresDatabase(LeaseDatabase):
    """PostgreSQL: initdb, then the postgres server in the foreground (local connections trusted
    on its socket, which only its own user and root may reach; TCP with a password)."""

    kind = "postgresql"
    backend = "pgsql"
    system_user = "postgres"
    stop_signal = signal.SIGINT  # fast shutdown: does not wait for clients to go

    def _binary(self, name):
        return _newest(f"/usr/lib/postgresql/*/bin/{name}")

    def _initialise(self):
        self._run([self._binary("initdb"), "-D", self._path("data"), "-U", "postgres",
                   "--auth-local=trust", "--auth-host=scram-sha-256", "--no-locale",
                   "-E", "UTF8"], as_account=True)

    def _server_command(self):
        return [self._binary("postgres"), "-D", self._path("data"), "-p", str(self.port),
                "-k", self.folder, "-c", "listen_addresses=127.0.0.1", "-c", "fsync=off",
                "-c", "synchronous_commit=off", "-c", "full_page_writes=off"]

    def _psql(self, database, *statements, stdin=None, quiet_failure=False):
        commands = [part for statement in statements for part in ("-c", statement)]
        return self._run(["psql", "-X", "-q", "-v", "ON_ERROR_STOP=1", "-h", self.folder, "-p",
                          str(self.port), "-U", "postgres", "-d", database, *commands],
                         input=stdin, quiet_failure=quiet_failure)

    def _superuser_sql(self, statement, quiet_failure=False):
        return self._psql("postgres", statement, quiet_failure=quiet_failure)

    def _create_database(self):
        self._superuser_sql(f"CREATE USER {DATABASE_USER} PASSWORD '{DATABASE_PASSWORD}'")
        self._superuser_sql(f"CREATE DATABASE {DATABASE_NAME} OWNER {DATABASE_USER}")

    def fill(self, leases, expire):
        rows = []
        for lease in leases:
            hwaddr = "\\\\x" + lease.hwaddr.replace(":", "") if lease.hwaddr else "\\N"
            client_id = "\\\\x" + lease.client_id.replace(":", "") if lease.client_id else "\\N"
            hostname = lease.hostname.replace("\\", "\\\\").replace("\t", "\\t") \
                .replace("\n", "\\n").replace("\r", "\\r")
            rows.append("\t".join([str(_address_number(lease.address)), hwaddr, client_id,
                                   str(VALID_LIFETIME), _sql_expiry(expire) + "+00",
                                   str(lease.subnet_id), "f", "f", hostname, str(lease.state)]))
        # Kea's triggers update one row of lease counts for each lease inserted, which within one
        # transaction grows slower with every row (200,000 took minutes): they are off for the
        # copy, and kea-admin counts the leases again after it.
        self._psql(DATABASE_NAME, "SET session_replication_role = replica",
                   "COPY lease4 (address, hwaddr, client_id, valid_lifetime, expire, subnet_id, "
                   "fqdn_fwd, fqdn_rev, hostname, state) FROM STDIN",
                   stdin=("\n".join(rows) + "\n").encode())
        self._run(["kea-admin", "stats-recount", self.backend, "-h", "127.0.0.1", "-P",
                   str(self.port), "-u", DATABASE_USER, "-p", DATABASE_PASSWORD, "-n",
                   DATABASE_NAME])


class MariadbDatabase(LeaseDatabase):
    """MariaDB: mariadb-install-db, then mariadbd in the foreground, both without any option
    file of the system's (utf8mb4 as Debian configures it; no binary log, commits not flushed)."""

    kind = "mysql"
    backend = "mysql"
    system_user = "mysql"

    def _initialise(self):
        command = ["mariadb-install-db", "--no-defaults", f"--datadir={self._path('data')}",
                   "--auth-root-authentication-method=normal", "--skip-test-db"]
        if self._account() is not None:
            command.append(f"--user={self.system_user}")
        self._run(command)

    def _server_command(self):
        command = ["/usr/sbin/mariadbd", "--no-defaults", f"--datadir={self._path('data')}",
                   f"--socket={self._path('mariadb.sock')}", f"--port={self.port}",
                   "--bind-address=127.0.0.1", f"--pid-file={self._path('mariadb.pid')}",
                   "--skip-name-resolve", "--skip-log-bin", "--innodb-flush-log-at-trx-commit=0",
                   "--character-set-server=utf8mb4", "--collation-server=utf8mb4_general_ci"]
        if self._account() is not None:
            command.append(f"--user={self.system_user}")
        return command

    def _kea_admin_extra(self):
        # Kea 2.2's kea-admin leaves the port out of the one mysql command that makes the schema
        # (it would reach port 3306); its extra arguments go to every mysql command.
        return ["-x", f"--port={self.port}"]

    def _child_setup(self, as_account=False):
        # mariadbd and mariadb-install-db change to their user themselves.
        return super()._child_setup(as_account=False)

    def _client(self, database=None):
        return ["mariadb", "--no-defaults", f"--socket={self._path('mariadb.sock')}", "-u", "root",
                *([database] if database else [])]

    def _superuser_sql(self, statement, quiet_failure=False):
        return self._run([*self._client(), "-e", statement], quiet_failure=quiet_failure)

    def _create_database(self):
        self._superuser_sql(f"CREATE DATABASE {DATABASE_NAME}; "
                            f"CREATE USER '{DATABASE_USER}'@'%' IDENTIFIED BY "
                            f"'{DATABASE_PASSWORD}'; GRANT ALL ON {DATABASE_NAME}.* TO "
                            f"'{DATABASE_USER}'@'%'")

    def fill(self, leases, expire):
        def text(value):
            return "'" + value.replace("\\", "\\\\").replace("'", "\\'") + "'"

        def binary(value):
            return "UNHEX('" + value.replace(":", "") + "')" if value else "NULL"
        statements = []
        for first in range(0, len(leases), 1000):
            values = ",".join(
                f"({_address_number(lease.address)},{binary(lease.hwaddr)},"
                f"{binary(lease.client_id)},{VALID_LIFETIME},'{_sql_expiry(expire)}',"
                f"{lease.subnet_id},0,0,{text(lease.hostname)},{lease.state})"
                for lease in leases[first:first + 1000])
            statements.append("INSERT INTO lease4 (address, hwaddr, client_id, valid_lifetime, "
                              "expire, subnet_id, fqdn_fwd, fqdn_rev, hostname, state) VALUES "
                              + values + ";")
        self._run([*self._client(DATABASE_NAME)], input=("SET time_zone = '+00:00';\n" +
                                                       "\n".join(statements)).encode())


LEASE_DATABASES = {"postgresql": PostgresDatabase, "mysql": MariadbDatabase}


PATHS = ("agent", "direct", "unix")


class KeaSandbox:
    """with KeaSandbox(subnets, leases) as kea: ... kea.server_text is "127.0.0.1:PORT", or the
    socket's path on the "unix" path."""

    def __init__(self, subnets, leases=(), load_lease_cmds=True, lease_file_text_override=None,
                 users=None, tls=None, path="agent", release=HOST_RELEASE, socket_path=None,
                 interfaces=(), namespace=None, port=None, lease_database=None):
        if path not in PATHS:
            raise ValueError(f"path {path!r} is none of {PATHS}")
        if (users or tls) and path == "unix":
            raise ValueError("the UNIX socket has neither authentication nor TLS")
        self.subnets = list(subnets)
        self.leases = list(leases)
        self.load_lease_cmds = load_lease_cmds
        self.lease_file_override = lease_file_text_override
        self.users = dict(users or {})
        self.tls = tls
        self.path = path
        self.release = release
        self.interfaces = list(interfaces)
        self.namespace = namespace  # a network namespace for kea-dhcp4 alone
        # A started LeaseDatabase instead of the memfile; the leases are then added to it with
        # lease4-add once kea-dhcp4 answers.
        self.lease_database = lease_database
        self._socket_path = socket_path  # the host's path; the sandbox folder unless given
        self.folder = None
        self._wanted_port = port  # the HTTP port; a free one unless given
        self.port = None
        self._processes = []
        self._dhcp4 = None
        self._previous_sigterm = None

    @property
    def server_text(self):
        return self.socket_path if self.path == "unix" else f"127.0.0.1:{self.port}"

    @property
    def url(self):
        scheme = "https" if self.tls else "http"
        return f"{scheme}://127.0.0.1:{self.port}/"

    @property
    def socket_path(self):
        """The host's path of kea-dhcp4's UNIX control socket."""
        return self._socket_path or self._path("kea4.sock")

    @property
    def password_file(self):
        """The file holding the first user's password, as the distributions keep it."""
        return self._password_file(next(iter(self.users))) if self.users else None

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *_exc):
        self.stop()

    def start(self):
        self._catch_sigterm()
        try:
            self._make_folder()
            self._write_lease_file()
            self._write_password_files()
            self.port = self._wanted_port or free_port()
            self._dhcp4 = self._spawn("kea-dhcp4", self._dhcp4_config())
            if self.path == "agent":
                self._spawn("kea-ctrl-agent", self._agent_config())
            self._wait_until_ready()
            if self.lease_database is not None:
                self.add_leases(self.leases)
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
        if self._socket_path and os.path.exists(self._socket_path):
            os.unlink(self._socket_path)
        self._restore_sigterm()

    def stop_dhcp4(self):
        """Stops kea-dhcp4 and waits for its end; the agent goes on without it."""
        if self._dhcp4 is not None and self._dhcp4.poll() is None:
            self._dhcp4.terminate()
            self._dhcp4.wait(timeout=STOP_TIMEOUT_SECONDS)

    def command(self, command, arguments=None, timeout=30):
        """Sends one command over the sandbox's path, as its first user when it asks for one and
        trusting the sandbox's CA; returns the decoded answer list."""
        request = {"command": command}
        if self.path == "agent":
            request["service"] = ["dhcp4"]
        if arguments is not None:
            request["arguments"] = arguments
        if self.path == "unix":
            answer = unix_command(self.socket_path, request, timeout)
        else:
            answer = self._http_command(request, timeout)
        return answer if isinstance(answer, list) else [answer]

    def add_leases(self, leases, expire=None):
        """Adds each lease with lease4-add over the sandbox's path, expiring at `expire` (seconds
        since 1970; by default SQL_LEASE_DAYS from now)."""
        if expire is None:
            expire = int(time.time()) + SQL_LEASE_DAYS * 86400
        for lease in leases:
            arguments = {"ip-address": lease.address, "subnet-id": lease.subnet_id,
                         "hw-address": lease.hwaddr, "hostname": lease.hostname,
                         "valid-lft": VALID_LIFETIME, "expire": expire, "state": lease.state}
            if lease.client_id:
                arguments["client-id"] = lease.client_id
            answer = self.command("lease4-add", arguments)[0]
            if answer.get("result") != 0:
                raise RuntimeError(f"lease4-add of {lease.address}: {answer.get('text')}")

    def _http_command(self, request, timeout):
        headers = {"Content-Type": "application/json"}
        if self.users:
            user, password = next(iter(self.users.items()))
            token = base64.b64encode(f"{user}:{password}".encode()).decode()
            headers["Authorization"] = f"Basic {token}"
        context = ssl.create_default_context(cafile=self.tls.ca) if self.tls else None
        # UTF-8 as it stands: Kea 2.2 takes a \u00XX escape for the single byte XX.
        body = json.dumps(request, ensure_ascii=False).encode()
        message = urllib.request.Request(self.url, data=body, headers=headers)
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

    def _make_folder(self):
        # Inside a chroot the folder must be below its root. Kea 3 wants its socket folder
        # closed to others.
        parent = self.release.outside("/tmp") if self.release.chrooted else None
        self.folder = tempfile.mkdtemp(prefix="leasedump-kea-", dir=parent)
        os.chmod(self.folder, 0o750)

    def _path(self, name):
        return os.path.join(self.folder, name)

    def _inner(self, name):
        """A file of the sandbox folder as Kea sees it."""
        return self.release.inside(self._path(name))

    def _password_file(self, user):
        return self._path(f"{user}-password")

    def _write_lease_file(self):
        text = self.lease_file_override
        if text is None:
            text = lease_file_text(self.leases)
        with open(self._path("leases4.csv"), "w", encoding="utf-8") as lease_file:
            lease_file.write(text)

    def _write_password_files(self):
        for user, password in self.users.items():
            with open(self._password_file(user), "w") as password_file:
                password_file.write(password)

    def _logger(self, name):
        return [{"name": name, "severity": "INFO",
                 "output_options": [{"output": self._inner(name + ".log")}]}]

    def _http_settings(self):
        """Authentication and TLS of an HTTP listener, the agent's or kea-dhcp4's own."""
        settings = {}
        if self.users:
            settings["authentication"] = {
                "type": "basic", "realm": "leasedump-sandbox", "directory": self._inner(""),
                "clients": [{"user": u, "password-file": os.path.basename(self._password_file(u))}
                            for u in self.users]}
        if self.tls:
            settings.update({"trust-anchor": self._visible(self.tls.ca),
                             "cert-file": self._visible(self.tls.cert),
                             "key-file": self._visible(self.tls.key), "cert-required": False})
        return settings

    def _visible(self, host_file):
        """The path under which Kea sees a file of the host (copied into the folder when the
        release is a chroot that does not hold it)."""
        if not self.release.chrooted or host_file.startswith(self.release.root + "/"):
            return self.release.inside(host_file)
        copy = self._path(os.path.basename(host_file))
        shutil.copyfile(host_file, copy)
        return self.release.inside(copy)

    def _unix_socket(self):
        return {"socket-type": "unix", "socket-name": self.release.inside(self.socket_path)}

    def _dhcp4_config(self):
        plain = [s for s in self.subnets if not s.shared_network]
        networks = {}
        for s in self.subnets:
            if s.shared_network:
                networks.setdefault(s.shared_network, []).append(s)
        config = {
            "interfaces-config": {"interfaces": self.interfaces},
            "lease-database": self.lease_database.kea_config() if self.lease_database else
            {"type": "memfile", "name": self._inner("leases4.csv"), "lfc-interval": 0},
            "valid-lifetime": VALID_LIFETIME,
            "subnet4": [subnet_config(s) for s in plain],
            "shared-networks": [{"name": n, "subnet4": [subnet_config(s) for s in members]}
                                for n, members in networks.items()],
            "loggers": self._logger("kea-dhcp4"),
        }
        if self.path == "direct":
            http = {"socket-type": "https" if self.tls else "http",
                    "socket-address": "127.0.0.1", "socket-port": self.port}
            config["control-sockets"] = [self._unix_socket(), dict(http, **self._http_settings())]
        else:
            config["control-socket"] = self._unix_socket()
        if self.load_lease_cmds:
            config["hooks-libraries"] = [{"library": lease_cmds_hook(self.release)}]
        return {"Dhcp4": config}

    def _agent_config(self):
        config = {
            "http-host": "127.0.0.1",
            "http-port": self.port,
            "control-sockets": {"dhcp4": self._unix_socket()},
            "loggers": self._logger("kea-ctrl-agent"),
        }
        config.update(self._http_settings())
        return {"Control-agent": config}

    def _environment(self):
        # Kea's defaults (/run/kea, /var/lib/kea, /var/log/kea) may not exist, and Kea refuses
        # to start while a PID file there names a live process. Kea 3 accepts
        # socket, lease and log files only in folders that these variables may move.
        inner = self._inner("")
        socket_folder = self.release.inside(os.path.dirname(self.socket_path))
        return dict(os.environ, KEA_PIDFILE_DIR=inner, KEA_LOCKFILE_DIR=inner,
                    KEA_CONTROL_SOCKET_DIR=socket_folder, KEA_DHCP_DATA_DIR=inner,
                    KEA_LOG_FILE_DIR=inner)

    def _spawn(self, name, config):
        config_path = self._path(name + ".json")
        with open(config_path, "w") as config_file:
            json.dump(config, config_file, indent=1)
        command = [kea_program(name, self.folder, self.release), "-c", self.release.inside(
            config_path)]
        if self.namespace and name == "kea-dhcp4":
            command = ["ip", "netns", "exec", self.namespace, *command]
        with open(self._path(name + ".out"), "w") as output:
            process = subprocess.Popen(
                command, stdin=subprocess.DEVNULL, stdout=output, stderr=subprocess.STDOUT,
                env=self._environment(), cwd=self.folder,
                # Its own session: a Ctrl+C at the terminal reaches us, and we stop it.
                start_new_session=True, preexec_fn=_child_setup(self.release.root))
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


def subnet_config(subnet):
    config = {"id": subnet.id, "subnet": subnet.prefix}
    if subnet.pool:
        config["pools"] = [{"pool": subnet.pool}]
    return config


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
    """`subnet_count` subnets (the last one in a shared network) sharing `lease_count` leases
    evenly, for measurements: /16 subnets 10.1.0.0, 10.2.0.0, ... while each holds its share,
    /8 subnets 11.0.0.0, 12.0.0.0, ... beyond that."""
    per_subnet = -(-lease_count // subnet_count)
    wide = per_subnet > 65534
    if per_subnet > (1 << 24) - 2:
        raise ValueError("more leases than the /8 subnets hold")

    def base(subnet):
        return (10 + subnet) << 24 if wide else (10 << 24) | (subnet << 16)
    subnets = [Subnet(i + 1, f"{ipaddress.IPv4Address(base(i + 1))}/{8 if wide else 16}",
                      shared_network="measured" if i == subnet_count - 1 else None)
               for i in range(subnet_count)]
    leases = []
    for n in range(lease_count):
        subnet = n % subnet_count + 1
        host = n // subnet_count + 1
        leases.append(Lease(str(ipaddress.IPv4Address(base(subnet) + host)), subnet,
                            f"00:16:{0x3e + (host >> 16):02x}:{subnet:02x}:{host >> 8 & 0xff:02x}:"
                            f"{host & 0xff:02x}",
                            f"host-{n}.example.com."))
    return subnets, leases


def main():
    parser = argparse.ArgumentParser(description="Serve leases from a throw-away Kea server.")
    parser.add_argument("--leases", type=int, default=0,
                        help="generate this many leases instead of the sample")
    parser.add_argument("--subnets", type=int, default=4, help="subnets of the generated leases")
    parser.add_argument("--release", default="host", choices=("host", *CHROOT_SUITES),
                        help="the host's Kea, or the one of a chroot of scripts/make-kea-chroots")
    parser.add_argument("--path", default="agent", choices=PATHS,
                        help="kea-ctrl-agent, kea-dhcp4's own HTTP socket, or its UNIX socket")
    parser.add_argument("--tls", action="store_true",
                        help="serve HTTPS with a certificate from a throw-away CA")
    parser.add_argument("--auth", action="store_true",
                        help="ask for the user of LEASEDUMP_USER and the password of "
                             "LEASEDUMP_PASSWORD or LEASEDUMP_PASSWORD_FILE (never given on the "
                             "command line)")
    parser.add_argument("--database", choices=("memfile", *LEASE_DATABASES), default="memfile",
                        help="keep the leases in a throw-away PostgreSQL or MariaDB server (the "
                             "host's Kea only)")
    options = parser.parse_args()
    release = kea_release(options.release)
    if release is None:
        parser.error(f"the {options.release} release needs root and scripts/make-kea-chroots")
    if options.database != "memfile" and release.chrooted:
        parser.error("a SQL lease database is served by the host's Kea only")
    if options.leases > 0:
        subnets, leases = generated_network(options.leases, max(1, options.subnets))
    else:
        subnets, leases = sample_network()
    users = None
    if options.auth:
        users = {os.environ.get("LEASEDUMP_USER", ""): password_from_environment()}
        if not all(users) or not all(users.values()):
            parser.error("--auth needs LEASEDUMP_USER and LEASEDUMP_PASSWORD or "
                         "LEASEDUMP_PASSWORD_FILE in the environment")
    try:
        with tempfile.TemporaryDirectory(prefix="leasedump-ca-") as certificates, \
                contextlib.ExitStack() as stack:
            tls = make_test_certificates(certificates) if options.tls else None
            database = None
            added = leases
            if options.database != "memfile":
                database = stack.enter_context(LEASE_DATABASES[options.database]())
                if options.leases > 0:  # many: straight into the table, not one lease4-add each
                    database.fill(leases, int(time.time()) + SQL_LEASE_DAYS * 86400)
                    added = []
            with KeaSandbox(subnets, added, users=users, tls=tls, path=options.path,
                            release=release, lease_database=database) as kea:
                server = kea.url if tls else kea.server_text
                version = kea.command("version-get")[0].get("text", "")
                print(f"Kea {version} is serving {len(leases)} leases at {server}; "
                      "Ctrl+C stops it.", flush=True)
                if tls:
                    print(f"Its CA: LEASEDUMP_CA_FILE={tls.ca}", flush=True)
                while True:
                    time.sleep(3600)
    except KeyboardInterrupt:
        pass
    return 0


def password_from_environment():
    if os.environ.get("LEASEDUMP_PASSWORD"):
        return os.environ["LEASEDUMP_PASSWORD"]
    if os.environ.get("LEASEDUMP_PASSWORD_FILE"):
        with open(os.environ["LEASEDUMP_PASSWORD_FILE"]) as password_file:
            return password_file.read().rstrip("\n")
    return ""


if __name__ == "__main__":
    sys.exit(main())
