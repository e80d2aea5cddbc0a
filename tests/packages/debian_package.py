"""The Debian package made by CPack: its fields and files, and the program it installs, which must
run from the PATH and give the same transcripts and files as the build tree's program.

LEASEDUMP_DEB names the package, LEASEDUMP_BUILD_DIR the build tree it was made from."""

import gzip
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, os.pardir, "integration"))
from scripted_server import ScriptedServer, answer, http  # noqa: E402

DEB = os.path.abspath(os.environ["LEASEDUMP_DEB"])
BUILD = os.path.abspath(os.environ.get("LEASEDUMP_BUILD_DIR", "build"))

INSTALLED_FILES = {
    "./usr/bin/leasedump": "-rwxr-xr-x",
    "./usr/share/man/man1/leasedump.1.gz": "-rw-r--r--",
    "./usr/share/doc/leasedump/README.md": "-rw-r--r--",
    "./usr/share/doc/leasedump/copyright": "-rw-r--r--",
    "./usr/share/doc/leasedump/changelog.gz": "-rw-r--r--",
}
SOURCE = os.path.join(HERE, os.pardir, os.pardir)


def output_of(*command):
    return subprocess.run(command, capture_output=True, check=True, timeout=120).stdout.decode()


class Root:
    """The package unpacked into a throw-away root, as dpkg would install it."""

    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix="leasedump-root-")
        subprocess.run(["dpkg-deb", "-x", DEB, self.folder], check=True, timeout=120)
        self.bin = os.path.join(self.folder, "usr", "bin")

    def remove(self):
        shutil.rmtree(self.folder, ignore_errors=True)


ROOT = None


def setUpModule():
    global ROOT
    ROOT = Root()
    unittest.addModuleCleanup(ROOT.remove)


class PackageFields(unittest.TestCase):
    def field(self, name):
        return output_of("dpkg-deb", "--field", DEB, name).strip()

    def test_name_version_and_section(self):
        self.assertEqual(self.field("Package"), "leasedump")
        self.assertEqual(self.field("Section"), "admin")
        self.assertRegex(self.field("Maintainer"), r"^leasedump maintainers <[^@\s>]+@[^@\s>]+>$")
        self.assertNotEqual(self.field("Description"), "")
        architecture = output_of("dpkg", "--print-architecture").strip()
        self.assertEqual(self.field("Architecture"), architecture)
        version = self.field("Version")
        self.assertRegex(version, r"^\d+\.\d+\.\d+$")
        self.assertEqual(os.path.basename(DEB), f"leasedump_{version}_{architecture}.deb")

    def test_depends_on_the_libraries_the_program_links(self):
        depends = [part.strip() for part in self.field("Depends").split(",")]
        names = {re.match(r"[a-z0-9][a-z0-9+.-]*", part).group(0) for part in depends}
        self.assertIn("libcurl4", names)
        self.assertTrue(any(name.startswith("libsimdjson") for name in names), depends)
        self.assertIn("libc6", names)
        self.assertIn("libstdc++6", names)

    def test_apt_can_install_it_here(self):
        run = subprocess.run(["apt-get", "install", "--simulate", DEB], capture_output=True,
                             timeout=120)
        self.assertEqual(run.returncode, 0, run.stderr.decode()[-2000:])
        self.assertRegex(run.stdout.decode(), r"(?m)^Inst leasedump ")


class PackageFiles(unittest.TestCase):
    def test_holds_the_program_the_manual_page_the_readme_and_the_licence_only(self):
        files = {}
        for line in output_of("dpkg-deb", "--contents", DEB).splitlines():
            mode, owner, _size, _day, _time, path = line.split(None, 5)
            self.assertEqual(owner, "root/root", line)
            if not mode.startswith("d"):
                files[path] = mode
        self.assertEqual(files, INSTALLED_FILES)

    def test_the_readme_is_the_repository_one(self):
        source = os.path.join(SOURCE, "README.md")
        with open(source, "rb") as expected, \
                open(os.path.join(ROOT.folder, "usr/share/doc/leasedump/README.md"), "rb") as got:
            self.assertEqual(got.read(), expected.read())

    def test_copyright_file_carries_the_licence_in_debians_format(self):
        with open(os.path.join(ROOT.folder, "usr/share/doc/leasedump/copyright")) as file:
            header, files, *rest = file.read().split("\n\n")
        self.assertEqual(rest, [])
        self.assertIn("Format: https://www.debian.org/doc/packaging-manuals/"
                      "copyright-format/1.0/\n", header + "\n")
        fields = dict(re.findall(r"(?m)^([A-Z][\w-]*): (.*)$", files))
        with open(os.path.join(SOURCE, "LICENSE")) as file:
            title, notice, terms = file.read().split("\n\n", 2)
        self.assertEqual(title, "MIT License")
        self.assertEqual(fields, {"Files": "*", "Copyright": notice.removeprefix("Copyright (c) "),
                                  "License": "Expat"})
        self.assertEqual(fields["Copyright"], "2026 the leasedump authors")
        # The licence's text word for word: continuation lines less their space, " ." a blank.
        text = [line[1:] for line in files.splitlines() if line.startswith(" ")]
        self.assertEqual("\n".join("" if line == "." else line for line in text) + "\n", terms)

    def test_changelog_names_this_version_and_the_maintainers(self):
        with gzip.open(os.path.join(ROOT.folder, "usr/share/doc/leasedump/changelog.gz"),
                       "rt") as file:
            changelog = file.read()
        version = output_of("dpkg-deb", "--field", DEB, "Version").strip()
        maintainer = output_of("dpkg-deb", "--field", DEB, "Maintainer").strip()
        self.assertRegex(changelog, rf"^leasedump \({re.escape(version)}\) \w+; urgency=\w+\n")
        first_entry = changelog.split("\n\n\n", 1)[0]
        self.assertRegex(first_entry, rf"\n -- {re.escape(maintainer)}  \w{{3}}, \d\d \w{{3}} "
                                      r"\d{4} \d\d:\d\d:\d\d [+-]\d{4}\n?$")

    def test_manual_page_reads_without_warnings(self):
        page = os.path.join(ROOT.folder, "usr/share/man/man1/leasedump.1.gz")
        run = subprocess.run(["man", "--warnings", "-l", page], capture_output=True, timeout=60,
                             env=dict(os.environ, MANWIDTH="80", MAN_KEEP_FORMATTING="",
                                      LC_ALL="C.UTF-8"))
        self.assertEqual((run.returncode, run.stderr), (0, b""))
        text = run.stdout.decode()
        for heading in ("NAME", "SYNOPSIS", "DESCRIPTION", "ENVIRONMENT", "FILES", "EXIT STATUS",
                        "EXAMPLES", "SECURITY", "SEE ALSO"):
            self.assertRegex(text, rf"(?m)^{heading}$")


def kea_like(request):
    """A Kea with two subnets; it answers the lease commands both whole and page by page."""
    leases = {
        7: [{"ip-address": "192.168.7.5", "hw-address": "0a:0b:0c:0d:0e:0f",
             "hostname": "pc5.example.", "subnet-id": 7},
            {"ip-address": "192.168.7.9", "hw-address": "", "hostname": "caf\u00e9",
             "subnet-id": 7}],
        9: [{"ip-address": "10.9.0.3", "hw-address": "00:16:3e:00:00:03",
             "hostname": "a&b<c>", "subnet-id": 9}],
    }
    if request.command == "version-get":
        return answer(0, "2.6.1")
    if request.command == "config-get":
        return answer(0, arguments={"Dhcp4": {"subnet4": [
            {"id": 7, "subnet": "192.168.7.0/24"}, {"id": 9, "subnet": "10.9.0.0/16"}]}})
    arguments = (request.json or {}).get("arguments") or {}
    if request.command == "lease4-get-all":
        found = [lease for subnet in arguments.get("subnets", []) for lease in leases.get(subnet, [])]
    elif request.command == "lease4-get-page":
        every = sorted((lease for subnet in leases.values() for lease in subnet),
                       key=lambda lease: socket.inet_aton(lease["ip-address"]))
        start = arguments.get("from", "start")
        found = [lease for lease in every if start == "start" or
                 socket.inet_aton(lease["ip-address"]) > socket.inet_aton(start)]
        found = found[:int(arguments.get("limit", len(found)))]
    else:
        return answer(2, f"'{request.command}' command not supported")
    if not found:
        return answer(3, "0 IPv4 lease(s) found.", {"leases": []})
    return answer(0, f"{len(found)} IPv4 lease(s) found.", {"leases": found, "count": len(found)})


def refusing(request):
    return http('[{"result": 4, "text": "Unauthorized"}]', "401 Unauthorized")


class InstalledProgram(unittest.TestCase):
    """The program found on the PATH of the unpacked root against the build tree's program."""

    def run_program(self, command, environment, answers, arguments):
        with tempfile.TemporaryDirectory() as folder:
            run = subprocess.run([*command, *arguments], input=answers, capture_output=True,
                                 env=environment, cwd=folder, timeout=60)
            files = {}
            for name in os.listdir(folder):
                with open(os.path.join(folder, name), "rb") as file:
                    files[name] = file.read()
            return run.returncode, run.stdout, run.stderr, files

    def assertSameRuns(self, answers, arguments=(), extra_environment=None):
        environment = dict(os.environ, **(extra_environment or {}))
        installed_environment = dict(environment,
                                     PATH=ROOT.bin + os.pathsep + environment.get("PATH", ""))
        self.assertEqual(shutil.which("leasedump", path=installed_environment["PATH"]),
                         os.path.join(ROOT.bin, "leasedump"))
        installed = self.run_program(["leasedump"], installed_environment, answers, arguments)
        built = self.run_program([os.path.join(BUILD, "leasedump")], environment, answers,
                                 arguments)
        self.assertEqual(installed, built)
        return installed

    def test_saves_the_same_xml_and_text_files(self):
        with ScriptedServer(kea_like) as server:
            for arguments, name in (((), "leases.xml"), (("/text",), "leases.txt")):
                with self.subTest(arguments=arguments):
                    status, stdout, stderr, files = self.assertSameRuns(
                        f"{server.server_text}\n{name}\n".encode(), arguments)
                    self.assertIn(f"Queried 3 entries from server {server.server_text}."
                                  .encode(), stdout)
                    self.assertEqual((status, stderr, list(files)), (0, b"", [name]))
                    self.assertIn(b"10.9.0.3", files[name])

    def test_reports_the_same_errors(self):
        with socket.socket() as closed:
            closed.bind(("127.0.0.1", 0))
            unreachable = f"127.0.0.1:{closed.getsockname()[1]}"
        with ScriptedServer(refusing) as server:
            cases = {
                "nothing listens": (unreachable, {}),
                "credentials refused": (server.server_text,
                                        {"LEASEDUMP_USER": "u", "LEASEDUMP_PASSWORD": "p"}),
            }
            for name, (server_text, environment) in cases.items():
                with self.subTest(name):
                    status, stdout, _stderr, files = self.assertSameRuns(
                        f"{server_text}\n\n".encode(), (), environment)
                    self.assertIn(b"\r\nError: ", stdout)
                    self.assertEqual(files, {})

    def test_fails_the_same_on_a_full_standard_output(self):
        results = []
        for command, path in ((["leasedump"], ROOT.bin), ([os.path.join(BUILD, "leasedump")],
                                                          os.environ.get("PATH", ""))):
            with open("/dev/full", "wb") as full:
                run = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=full,
                                     stderr=subprocess.PIPE, timeout=60,
                                     env=dict(os.environ, PATH=path))
            # The report names the code address, which differs between two builds.
            results.append((run.returncode,
                            re.sub(rb" at [0-9A-F]{16}\.", b" at <address>.", run.stderr)))
        self.assertEqual(results[0], results[1])
        self.assertEqual(results[0][0], 1)


if __name__ == "__main__":
    unittest.main()
