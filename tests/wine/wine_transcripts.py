"""The end-to-end transcripts of tests/e2e, run against the Windows build under Wine.

leasedump.exe runs with the fake dhcpsapi.dll beside it, so that the program's own import of the
DHCP API binds to the scripted server. The transcripts must be the Linux ones byte for byte, but
for the default file name and the system's error texts, which are asked of the system in use.
Every run must leave standard error empty: the fake DLL reports there any block of the API that
the program did not free exactly once.
"""

import os
import pty
import re
import select
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import tty
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, os.pardir, "e2e"))
import transcripts  # noqa: E402

BUILD = os.path.abspath(os.environ.get("LEASEDUMP_WIN_BUILD_DIR", "build-win"))
WINE = os.environ.get("LEASEDUMP_WINE", "/usr/lib/wine/wine64")
WINESERVER = os.environ.get("LEASEDUMP_WINESERVER",
                            os.path.join(os.path.dirname(WINE), "wineserver64"))

# What the program built with -static may import: the system's own DLLs and nothing of MinGW's.
# Not user32.dll: a console program that loads it is no longer told that the session ends or the
# system shuts down, and would leave its temporary file behind.
SYSTEM_DLLS = {"kernel32.dll", "msvcrt.dll", "ws2_32.dll", "dhcpsapi.dll"}


class WineSession:
    """A private prefix and one wineserver for the whole suite: booting costs seconds, a run
    under a running server a few hundredths of one."""

    def __init__(self, build):
        self.build = build
        self.prefix = os.path.join(build, "wine-prefix")
        self.folder = os.path.join(build, "wine-run")

    def path(self, name):
        return os.path.join(self.folder, name)

    def start(self):
        os.environ.update(WINEPREFIX=self.prefix, WINEARCH="win64", WINEDEBUG="-all",
                          WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;dhcpsapi=n",
                          LC_ALL="C.UTF-8")
        # Headless: with a display Wine would open windows for its services.
        for variable in ("DISPLAY", "WAYLAND_DISPLAY"):
            os.environ.pop(variable, None)
        self.gather_programs()
        os.makedirs(self.prefix, exist_ok=True)
        # Nothing that outlives a command may hold a pipe of the suite, or reading that pipe
        # would wait for the server's end: the server and the services that booting starts get
        # a file instead.
        with open(os.path.join(self.build, "wineboot.log"), "wb") as log:
            subprocess.run([WINESERVER, "-p"], stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                           check=True)
            boot = subprocess.run([WINE, "wineboot", "-i"], stdin=subprocess.DEVNULL, stdout=log,
                                  stderr=log, timeout=300)
        if boot.returncode != 0:
            raise RuntimeError(f"wineboot failed ({boot.returncode}); see {log.name}")

    def stop(self):
        subprocess.run([WINESERVER, "-k"], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)

    def gather_programs(self):
        """The program as built, beside the fake DLL and the helpers: a folder of its own, as a
        program that should reach a real server must never find the fake beside it."""
        shutil.rmtree(self.folder, ignore_errors=True)
        os.makedirs(self.folder)
        shutil.copy2(os.path.join(self.build, "leasedump.exe"), self.folder)
        check = os.path.join(self.build, "wine-check")
        for name in os.listdir(check):
            shutil.copy2(os.path.join(check, name), self.folder)


SESSION = WineSession(BUILD)


def windows_path(unix_path):
    """Wine's drive Z: is the root of the host."""
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


def without_trailing_blanks_and_full_stops(text):
    return text.rstrip(bytes(range(33)) + b".")


class WineProgram(transcripts.LinuxProgram):
    default_file = "C:\\DHCP.xml"
    module_name = "leasedump.exe"
    # Wine's word for a write to a pipe that has no reader; Windows says ERROR_NO_DATA (232).
    closed_pipe_error = 233  # ERROR_PIPE_NOT_CONNECTED

    def __init__(self, session):
        self.session = session
        self.error_texts = {}

    def fake_command(self):
        return [WINE, self.session.path("leasedump.exe")]

    def real_command(self):
        return self.fake_command()

    def environment(self, scenario_path):
        with open(scenario_path, "rb") as file:
            if not file.read().isascii():
                raise AssertionError(
                    "a scenario under Wine must be ASCII: the fake reads names in the ANSI code "
                    "page, and the program's narrow text is not UTF-8 there")
        return dict(os.environ, LEASEDUMP_FAKE_SCENARIO=windows_path(scenario_path))

    def error_text(self, code):
        if code not in self.error_texts:
            self.error_texts[code] = self.ask_system_message(code)
        return self.error_texts[code]

    def ask_system_message(self, code):
        completed = subprocess.run([WINE, self.session.path("system-message.exe"), str(code)],
                                   stdin=subprocess.DEVNULL, capture_output=True, timeout=60,
                                   check=True)
        text, end = completed.stdout[:-1], completed.stdout[-1:]
        if end != b"\0" or not text.strip():
            raise AssertionError(f"the system has no message text for {code}: {completed}")
        return without_trailing_blanks_and_full_stops(text).decode("utf-8", "surrogateescape")

    def narrow(self, text):
        """The ANSI code page of Wine's C locale; a character it lacks is '?', never a look-alike."""
        return text.encode("cp1252", "replace")

    def file_on_host(self, name, cwd):
        drive = re.match(r"([A-Za-z]:)\\", name)
        if drive:
            return os.path.join(self.session.prefix, "dosdevices", drive.group(1).lower(),
                                *name[3:].split("\\"))
        return os.path.join(cwd, name)


PROGRAM = WineProgram(SESSION)


def setUpModule():
    # A cleanup runs even when the start fails halfway, after the server is up.
    unittest.addModuleCleanup(SESSION.stop)
    SESSION.start()


class WineDialogueTranscripts(transcripts.DialogueTranscripts):
    program = PROGRAM

    @unittest.skip("Wine puts a directory on a closed descriptor 0, so the program is given an "
                   "unreadable input where Windows would give it none")
    def test_closed_standard_input_does_not_hang(self):
        pass


class WineFailureReport(transcripts.FailureReport):
    program = PROGRAM


class WineOutputFiles(transcripts.OutputFiles):
    program = PROGRAM


class WineLongFolder(transcripts.TranscriptTest):
    """A target whose path fits in MAX_PATH in a folder so long that the temporary file's does
    not: the save still goes through the temporary file, so that a failed write keeps the old
    file."""
    program = PROGRAM
    TARGET_LENGTH = 250  # of the Windows path; the temporary file's name is 31 characters

    def test_the_temporary_file_works_where_the_target_does(self):
        for limited, status in ((True, 2), (False, 0)):
            with self.subTest(size_limit=limited), tempfile.TemporaryDirectory() as directory:
                name = "leases.xml"
                base = windows_path(directory)
                folder = "f" * (self.TARGET_LENGTH - len(base) - len(name) - 2)
                os.mkdir(os.path.join(directory, folder))
                old = os.path.join(directory, folder, name)
                with open(old, "wb") as file:
                    file.write(b"yesterday")
                target = f"{base}\\{folder}\\{name}"
                self.assertEqual(len(target), self.TARGET_LENGTH)
                run = self.run_fake(transcripts.NORMAL_SERVER, b"\n" + target.encode() + b"\n",
                                    cwd=directory,
                                    preexec_fn=transcripts.small_file_size_limit if limited
                                    else None)
                self.assertEqual((run.status, run.stderr), (status, b""))
                with open(old, "rb") as file:
                    saved = file.read()
                if limited:
                    self.assertEqual(run.lines_after_summary(),
                                     ["", f"Cannot write file {target}."])
                    self.assertEqual(saved, b"yesterday")
                else:
                    self.assertEqual(saved, transcripts.NORMAL_SERVER_XML)
                self.assertEqual(os.listdir(os.path.join(directory, folder)), [name])


def imported_dlls(image):
    """The names of the DLLs that a PE32+ image imports, from its import directory."""
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    section_count = struct.unpack_from("<H", image, pe + 6)[0]
    optional_size = struct.unpack_from("<H", image, pe + 20)[0]
    optional = pe + 24
    import_rva = struct.unpack_from("<I", image, optional + 120)[0]  # data directory 1
    sections = [struct.unpack_from("<IIII", image, optional + optional_size + 40 * i + 8)
                for i in range(section_count)]

    def offset(rva):
        for size, address, _, raw in sections:
            if address <= rva < address + size:
                return raw + rva - address
        raise ValueError(f"RVA {rva:#x} is in no section")

    names = []
    entry = offset(import_rva)
    while True:
        name_rva = struct.unpack_from("<I", image, entry + 12)[0]
        if name_rva == 0:
            return names
        start = offset(name_rva)
        names.append(image[start:image.index(b"\0", start)].decode("ascii").lower())
        entry += 20


class WindowsBuild(unittest.TestCase):
    def test_program_imports_only_system_dlls(self):
        with open(SESSION.path("leasedump.exe"), "rb") as file:
            dlls = set(imported_dlls(file.read()))
        self.assertIn("dhcpsapi.dll", dlls)
        self.assertLessEqual(dlls, SYSTEM_DLLS)


class ConsoleInput(unittest.TestCase):
    def test_typed_text_is_converted_to_the_ansi_code_page(self):
        completed = subprocess.run([WINE, SESSION.path("console-text.exe")],
                                   stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
        self.assertEqual(completed.returncode, 0)
        # Not the OEM bytes (0x82 for e-acute), and a character the code page lacks is '?': the
        # systems differ in one or two for a pair, whose halves came in different pieces.
        pieces = completed.stdout.split(b"\0")
        self.assertEqual(pieces[:2], [b"h\xe9te\r\n", b"r\xe9s.xml ?"])
        self.assertRegex(pieces[2], rb"^\?{1,2}!$")
        self.assertEqual(pieces[3:], [b""])


class DhcpServerMessages(unittest.TestCase):
    """The DHCP server's own statuses have no text in the system's message table: theirs is in the
    DHCP API library, here the fake's, whose table also holds a text longer than 256 characters.
    A status that neither table knows is named by its number."""

    def test_each_status_says_what_it_is(self):
        cases = {
            20005: "The specified subnet does not exist",
            20013: "An error occurred while accessing the DHCP server database",
            20999: "A status of the scripted server whose text is longer than any buffer of 256 "
                   "characters, so that a message table text of that length is seen to come out "
                   "whole: it goes on for a while longer than that, with nothing in it but words, "
                   "and it ends with the word that the test looks for at the end of the line, "
                   "which is: whole",
            29999: "29999",
        }
        for code, text in cases.items():
            with self.subTest(code=code):
                run = transcripts.run_fake(PROGRAM, f"version {code}\n", b"\n\n")
                self.assertEqual((run.status, run.stderr), (2, b""))
                self.assertIn(f"\r\n\r\nError: {text}\r\n\r\n\r\nQueried 0 ".encode(), run.stdout)


class ConsoleOutput(unittest.TestCase):
    """On a console every line is shown in Unicode, converted from the ANSI text: a server typed
    as "M\u00fcller" is shown as that, not as the OEM reading of its ANSI byte 0xFC ("M\u207fller").
    Wine gives a process started on a terminal (a pseudo-terminal here) a console of its own,
    which shows the text in the terminal's UTF-8. Piped output stays the ANSI bytes."""

    def run_on_terminal(self, scenario_path, answers):
        controller, terminal = pty.openpty()
        self.addCleanup(os.close, controller)
        # Raw from the start, as the console sets it: an Enter typed before would reach it as LF.
        tty.setraw(terminal)
        process = subprocess.Popen(PROGRAM.fake_command(), stdin=terminal, stdout=terminal,
                                   stderr=subprocess.PIPE, env=PROGRAM.environment(scenario_path))
        os.close(terminal)
        self.addCleanup(process.kill)
        self.addCleanup(process.stderr.close)
        shown = b""
        asked = 0
        deadline = time.monotonic() + 60
        while process.poll() is None and time.monotonic() < deadline:
            ready, _, _ = select.select([controller], [], [], 0.5)
            if ready:
                try:
                    shown += os.read(controller, 4096)
                except OSError:  # the terminal's last reader has gone
                    break
            if asked < len(answers) and shown.count(b"by default):") > asked:
                os.write(controller, answers[asked])
                asked += 1
            elif b"Press any key to exit" in shown:
                # Until it ends: a key that comes before the wait empties the input is lost.
                os.write(controller, b"x")
        self.assertEqual(process.wait(10), 0, shown)
        return shown

    def test_a_console_shows_the_text_and_a_pipe_gets_the_bytes(self):
        with tempfile.TemporaryDirectory() as scratch:
            scenario = os.path.join(scratch, "server.scenario")
            with open(scenario, "w") as file:
                file.write("version 0\n")
            shown = self.run_on_terminal(scenario, ["M\u00fcller\r".encode(), b"\r"])
        # Without the console's own escape sequences (the cursor hidden while a line is drawn).
        text = re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]", b"", shown)
        self.assertIn("\r\nQueried 0 entries from server M\u00fcller.\r\n".encode(), text)
        run = transcripts.run_fake(PROGRAM, "version 0\n", b"M\xfcller\n\n")
        self.assertIn(b"\r\nQueried 0 entries from server M\xfcller.\r\n", run.stdout)


class FakeDhcpApiDll(unittest.TestCase):
    def test_reports_blocks_not_freed_and_bad_frees(self):
        run = transcripts.run_fake(UnfreedBlocks(SESSION), "subnets 0 10.1.2.0\n", None,
                                   stdin=subprocess.DEVNULL)
        self.assertEqual(run.status, 0)
        self.assertRegex(run.stderr, rb"\b2 blocks not freed, 1 bad frees\b")


class UnfreedBlocks(WineProgram):
    """A helper that takes an array of the API, frees none of its blocks and frees a foreign
    pointer: unless the fake reports that, an empty standard error proves nothing."""

    def fake_command(self):
        return [WINE, self.session.path("unfreed-blocks.exe")]


if __name__ == "__main__":
    unittest.main()
