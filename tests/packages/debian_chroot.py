"""The Debian package installed with apt-get into a fresh Debian 12, as a user installs it: the
bookworm chroot that scripts/make-kea-chroots keeps in its cache, under a throw-away overlay (or,
where the kernel has none, a copy), so the cached root stays as it was made. The program runs from
the chroot's PATH, its manual page and copyright file are where Debian keeps them, and a purge
leaves nothing of the package behind.

Needs root (chroot and mount); scripts/test-packages runs it in a mount namespace of its own, so
that no mount outlives the run even when it is killed. LEASEDUMP_DEB names the package,
LEASEDUMP_BUILD_DIR the build tree it was made from, LEASEDUMP_CHROOT the cached root."""

import gzip
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.join(HERE, os.pardir, os.pardir)
sys.path.insert(0, os.path.join(HERE, os.pardir, "integration"))
sys.path.insert(0, HERE)
from debian_package import kea_like  # noqa: E402
from scripted_server import ScriptedServer  # noqa: E402

DEB = os.path.abspath(os.environ["LEASEDUMP_DEB"])
BUILD = os.path.abspath(os.environ.get("LEASEDUMP_BUILD_DIR", "build"))
CACHED_ROOT = os.environ["LEASEDUMP_CHROOT"]

APT_SECONDS = 600
RUN_SECONDS = 60
STOP_SECONDS = 10
# A login shell's PATH on Debian; the program must be found on it.
CHROOT_PATH = "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin"
# What apt and dpkg keep of their own work; these change with any install.
BOOKKEEPING = ("/var/lib/dpkg/", "/var/lib/apt/", "/var/cache/apt/", "/var/cache/debconf/",
               "/var/cache/ldconfig/", "/var/log/", "/tmp/")


def process_root(pid):
    try:
        return os.readlink(f"/proc/{pid}/root")
    except OSError:
        return None


def mounted_below(folder):
    """The mount points at or below `folder`, deepest first."""
    points = []
    with open("/proc/self/mountinfo") as mounts:
        for line in mounts:
            point = line.split()[4].replace("\\040", " ")
            if point == folder or point.startswith(folder + "/"):
                points.append(point)
    return sorted(points, key=len, reverse=True)


class ThrowAwayRoot:
    """The cached root under an overlay whose upper layer is a temporary folder."""

    def __init__(self, cached_root):
        self.cached_root = cached_root
        self.folder = tempfile.mkdtemp(prefix="leasedump-bookworm-")
        self.root = os.path.join(self.folder, "root")
        self.layered = False
        self.stopped = False

    def start(self):
        upper, work = (os.path.join(self.folder, name) for name in ("upper", "work"))
        for folder in (self.root, upper, work):
            os.mkdir(folder)
        overlay = subprocess.run(
            ["mount", "-t", "overlay", "overlay", "-o",
             f"lowerdir={self.cached_root},upperdir={upper},workdir={work}", self.root],
            capture_output=True, timeout=RUN_SECONDS)
        self.layered = overlay.returncode == 0
        if not self.layered:
            os.rmdir(self.root)
            subprocess.run(["cp", "-a", "--reflink=auto", self.cached_root, self.root],
                           check=True, timeout=APT_SECONDS)
        # dpkg and the maintainer scripts read /proc; /dev holds the nodes debootstrap made.
        subprocess.run(["mount", "-t", "proc", "proc", self.path("/proc")], check=True,
                       timeout=RUN_SECONDS)
        # The host's resolver of today, not the one the cached root was made with.
        shutil.copyfile("/etc/resolv.conf", self.path("/etc/resolv.conf"), follow_symlinks=True)

    def stop(self):
        """Unmounts what start mounted; the folder goes only when nothing is mounted below it
        any more, so that no file outside the throw-away root is ever removed."""
        if self.stopped:
            return
        self.stopped = True
        self._end_processes_inside()
        for point in mounted_below(self.folder):
            subprocess.run(["umount", point], timeout=RUN_SECONDS)
        left = mounted_below(self.folder)
        if left:
            raise RuntimeError(f"still mounted, {self.folder} left in place: {left}")
        shutil.rmtree(self.folder)

    def _end_processes_inside(self):
        """An interrupted command leaves its children (apt's download methods, dpkg) running in
        the root, which keeps it busy: each goes by its PID, and only those whose root this is."""
        deadline = time.monotonic() + STOP_SECONDS
        while True:
            inside = [pid for pid in map(int, filter(str.isdigit, os.listdir("/proc")))
                      if process_root(pid) == self.root]
            if not inside or time.monotonic() > deadline:
                return
            for pid in inside:
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            time.sleep(0.1)

    def path(self, inner):
        return os.path.join(self.root, inner.lstrip("/"))

    def run(self, *command, input=None, cwd="/", timeout=RUN_SECONDS, environment=()):
        """A command in the chroot, with a clean environment such as a root shell has."""
        return subprocess.run(
            ["chroot", self.root, "env", "-i", f"PATH={CHROOT_PATH}", "HOME=/root",
             "LC_ALL=C.UTF-8", "DEBIAN_FRONTEND=noninteractive", *environment,
             "sh", "-c", 'cd "$0" && exec "$@"', cwd, *command],
            input=input, capture_output=True, timeout=timeout)

    def checked(self, *command, timeout=RUN_SECONDS):
        run = self.run(*command, timeout=timeout)
        if run.returncode != 0:
            raise AssertionError(f"{' '.join(command)} failed ({run.returncode}):\n"
                                 f"{(run.stdout + run.stderr).decode(errors='replace')[-3000:]}")
        return run.stdout.decode()

    def real_path(self, inner):
        """The path of a file as the walk of `paths` meets it: dpkg lists /lib/x/y where the
        merged /usr has it in /usr/lib/x/y."""
        folder = os.path.realpath(self.path(os.path.dirname(inner)))
        return os.path.join("/" + os.path.relpath(folder, self.root).lstrip("."),
                            os.path.basename(inner))

    def paths(self):
        """Every path of the root as the chroot sees it, /proc and /dev aside."""
        found = set()
        for folder, subfolders, files in os.walk(self.root):
            inner = "/" + os.path.relpath(folder, self.root).lstrip(".")
            if inner in ("/proc", "/dev"):
                subfolders[:] = []
                continue
            for name in subfolders + files:
                found.add(os.path.join(inner, name))
        return found


def installed_names(root):
    """The packages dpkg counts as installed in the root."""
    names = set()
    for line in root.checked("dpkg-query", "-W", "-f", "${db:Status-Abbrev} ${Package}\\n") \
            .splitlines():
        status, name = line.split(None, 1) if line.strip() else ("", "")
        if status == "ii":
            names.add(name)
    return names


ROOT = None
BEFORE = {}  # what the root held before the install: "paths", "packages"
PACKAGE_FILES = []  # what dpkg installed for leasedump, as it lists them


def setUpModule():
    global ROOT
    ROOT = ThrowAwayRoot(CACHED_ROOT)
    unittest.addModuleCleanup(ROOT.stop)
    ROOT.start()
    BEFORE["paths"] = ROOT.paths()
    BEFORE["packages"] = installed_names(ROOT)
    shutil.copy(DEB, ROOT.path("/tmp"))
    # Lists younger than the cached root's: the mirror may have replaced a library since.
    ROOT.checked("apt-get", "update", "-q", "-o", "Acquire::Languages=none", timeout=APT_SECONDS)
    # Without the libraries' own recommendations (certificates, SASL modules): what is checked
    # here is the package and what it depends on.
    ROOT.checked("apt-get", "install", "-y", "-q", "--no-install-recommends",
                 f"/tmp/{os.path.basename(DEB)}", timeout=APT_SECONDS)
    os.remove(ROOT.path(f"/tmp/{os.path.basename(DEB)}"))
    PACKAGE_FILES.extend(ROOT.checked("dpkg-query", "-L", "leasedump").split())


class InstalledWithApt(unittest.TestCase):
    """The installed package (this class runs before PurgedWithApt: unittest takes the classes of
    a module in the order of their names)."""

    def run_leasedump(self, answers, arguments=()):
        """The chroot's leasedump from its PATH in an empty folder; status, output, files."""
        folder = tempfile.mkdtemp(dir=ROOT.path("/tmp"))
        try:
            run = ROOT.run("leasedump", *arguments, input=answers,
                           cwd="/tmp/" + os.path.basename(folder))
            return run.returncode, run.stdout, run.stderr, read_files(folder)
        finally:
            shutil.rmtree(folder)

    def test_program_is_found_on_the_path(self):
        self.assertEqual(ROOT.checked("sh", "-c", "command -v leasedump").strip(),
                         "/usr/bin/leasedump")

    def test_unreachable_server_is_an_error_line_and_status_2(self):
        with socket.socket() as closed:
            closed.bind(("127.0.0.1", 0))
            server_text = f"127.0.0.1:{closed.getsockname()[1]}"
        status, stdout, stderr, files = self.run_leasedump(f"{server_text}\n\n".encode())
        self.assertIn(b"\r\nError: The RPC server is unavailable\r\n", stdout)
        self.assertEqual((status, stderr, files), (2, b"", {}))

    def test_text_file_is_the_build_tree_programs(self):
        with ScriptedServer(kea_like) as server:
            answers = f"{server.server_text}\nleases.txt\n".encode()
            installed = self.run_leasedump(answers, ["/text"])
            with tempfile.TemporaryDirectory() as folder:
                run = subprocess.run([os.path.join(BUILD, "leasedump"), "/text"], input=answers,
                                     capture_output=True, cwd=folder, timeout=RUN_SECONDS)
                built = (run.returncode, run.stdout, run.stderr, read_files(folder))
        self.assertEqual(installed, built)
        self.assertEqual((installed[0], list(installed[3])), (0, ["leases.txt"]))
        self.assertIn(b"10.9.0.3", installed[3]["leases.txt"])

    def test_manual_page_and_copyright_file_are_in_place(self):
        with gzip.open(ROOT.path("/usr/share/man/man1/leasedump.1.gz")) as page, \
                open(os.path.join(SOURCE, "man", "leasedump.1"), "rb") as source:
            self.assertEqual(page.read(), source.read())
        with open(ROOT.path("/usr/share/doc/leasedump/copyright"), "rb") as installed, \
                open(os.path.join(BUILD, "debian", "copyright"), "rb") as built:
            self.assertEqual(installed.read(), built.read())

    def test_apt_brought_in_the_libraries(self):
        new = installed_names(ROOT) - BEFORE["packages"]
        self.assertIn("leasedump", new)
        self.assertIn("libcurl4", new)
        self.assertTrue(any(name.startswith("libsimdjson") for name in new), new)


class PurgedWithApt(unittest.TestCase):
    """After `apt-get purge leasedump`: no file, folder or dpkg record of it remains, and
    everything the install added belongs to a package that is still installed."""

    @classmethod
    def setUpClass(cls):
        ROOT.checked("apt-get", "purge", "-y", "-q", "leasedump", timeout=APT_SECONDS)
        cls.paths = ROOT.paths()

    def test_dpkg_has_no_record_of_it(self):
        run = ROOT.run("dpkg-query", "-W", "-f", "${db:Status-Abbrev}", "leasedump")
        # Unknown to dpkg (status 1), or known as neither installed nor leaving config files.
        if run.returncode == 0:
            self.assertRegex(run.stdout.decode(), r"^[up]n")
        else:
            self.assertEqual(run.returncode, 1, run.stderr)
        self.assertEqual([name for name in os.listdir(ROOT.path("/var/lib/dpkg/info"))
                          if name.startswith("leasedump.")], [])

    def test_none_of_its_files_remain(self):
        self.assertIn("/usr/bin/leasedump", PACKAGE_FILES)
        own = [path for path in PACKAGE_FILES if path in self.paths and path not in BEFORE["paths"]]
        self.assertEqual(own, [])
        self.assertEqual([path for path in self.paths - BEFORE["paths"] if "leasedump" in path],
                         [])

    def test_what_the_install_added_belongs_to_the_libraries(self):
        added = {path for path in self.paths - BEFORE["paths"]
                 if not (path + "/").startswith(BOOKKEEPING)}
        owned = set()
        for name in installed_names(ROOT) - BEFORE["packages"]:
            owned.update(ROOT.real_path(path) for path in
                         ROOT.checked("dpkg-query", "-L", name).splitlines())
        self.assertEqual(sorted(added - owned), [])


def read_files(folder):
    files = {}
    for name in os.listdir(folder):
        with open(os.path.join(folder, name), "rb") as file:
            files[name] = file.read()
    return files


def _interrupt(_signum, _frame):
    raise KeyboardInterrupt


if __name__ == "__main__":
    # A request to terminate ends the run as Ctrl+C does, and the root goes on either path.
    signal.signal(signal.SIGTERM, _interrupt)
    try:
        unittest.main(verbosity=2)
    finally:
        if ROOT is not None:
            ROOT.stop()
