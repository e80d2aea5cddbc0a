"""The program's test build, run with piped answers against scripted DHCP servers: its whole
standard output is compared byte for byte with the expected transcript (banner line aside)."""

import os
import pty
import re
import resource
import select
import signal
import subprocess
import sys
import tempfile
import termios
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support"))
from result_files import records_of_text, records_of_xml  # noqa: E402

BUILD = os.environ.get("LEASEDUMP_BUILD_DIR", "build")

DESCRIPTION = (
    "Query MAC addresses, IP addresses, etc. from win32 DHCP server. Querid entris are saved to "
    "an XML file which can be opened with Corvitt. It's recommended that run this tool under the "
    "DHCP server or a domain member computer.")

LINUX_ERROR_TEXTS = {
    5: "Access is denied",
    13: "The data is invalid",
    1722: "The RPC server is unavailable",
}


class LinuxProgram:
    """How the tests start the program and what differs between platforms. Another platform's
    suite subclasses it and reuses the test classes below."""
    default_file = "DHCP.xml"
    module_name = "leasedump"
    closed_pipe_error = 32  # EPIPE

    def fake_command(self):
        return [os.path.abspath(os.path.join(BUILD, "leasedump-fake"))]

    def real_command(self):
        return [os.path.abspath(os.path.join(BUILD, "leasedump"))]

    def environment(self, scenario_path):
        return dict(os.environ, LEASEDUMP_FAKE_SCENARIO=scenario_path)

    def error_text(self, code):
        return LINUX_ERROR_TEXTS[code]

    def file_on_host(self, name, cwd):
        """Where a file name answered at the prompt lands, for a run in `cwd`."""
        return os.path.join(cwd, name)

    def narrow(self, text):
        """A host name as the program's narrow text holds it."""
        return text.encode("utf-8")


class Run:
    def __init__(self, completed):
        self.status = completed.returncode
        self.stdout = completed.stdout
        self.stderr = completed.stderr

    def lines_after_summary(self):
        lines = self.stdout.decode("utf-8", "surrogateescape").split("\r\n")
        summary = next(i for i, line in enumerate(lines) if line.startswith("Queried "))
        return lines[summary + 1:-3]


def run_fake(program, scenario, answers, arguments=(), cwd=None, **options):
    """Runs the test build in `cwd`, or in a scratch directory so that a saved file goes there."""
    with tempfile.TemporaryDirectory() as scratch:
        scenario_path = os.path.join(scratch, "server.scenario")
        with open(scenario_path, "w") as file:
            file.write(scenario)
        completed = subprocess.run([*program.fake_command(), *arguments], input=answers,
                                   capture_output=True, env=program.environment(scenario_path),
                                   cwd=cwd or scratch, timeout=60, **options)
        return Run(completed)


class TranscriptTest(unittest.TestCase):
    program = LinuxProgram()

    def run_fake(self, scenario, answers, arguments=(), cwd=None, **options):
        return run_fake(self.program, scenario, answers, arguments, cwd, **options)

    def introduction(self):
        return ["", None, "", DESCRIPTION, "",
                "Enter DHCP server address (127.0.0.1 by default):",
                "Enter one file name to save the query data "
                f"({self.program.default_file} by default):"]

    @staticmethod
    def ending(count, server, saved_file=None):
        saved = [f"Query results have been saved to file {saved_file}."] if saved_file else []
        return ["", "", f"Queried {count} entries from server {server}."] + saved + [
            "", "Press any key to exit"]

    def error_line(self, code):
        return ["", "Error: " + self.program.error_text(code)]

    def assertTranscript(self, run, expected_lines, status=0):
        """Every line ends in CR LF; the banner line (None) may say anything. A run that wrote an
        error line ends with status 2."""
        self.assertEqual(run.stderr, b"", "the run wrote to standard error or leaked API blocks")
        self.assertEqual(run.status, status)
        text = run.stdout.decode("utf-8", "surrogateescape")
        self.assertTrue(text.endswith("\r\n"), repr(text[-40:]))
        lines = text[:-2].split("\r\n")
        self.assertEqual(len(lines), len(expected_lines), "\n".join(lines))
        for number, (line, expected) in enumerate(zip(lines, expected_lines)):
            if expected is None:
                self.assertNotEqual(line.strip(), "", "the banner line is empty")
            else:
                self.assertEqual(line, expected, f"line {number}")


NORMAL_SERVER = """
version 0
subnets 0 10.1.2.0 10.2.0.0
clients 10.1.2.0 0
lease 10.1.2.10 00:16:3e:00:00:01 pc1.corp.example.
lease 10.1.2.11 - %null
clients 10.2.0.0 0
lease 10.2.0.5 00:16:3e:00:00:03 a&b<c>"d'e
"""


class DialogueTranscripts(TranscriptTest):
    def test_normal_run(self):
        run = self.run_fake(NORMAL_SERVER, b"10.0.0.5\nout.xml\n")
        self.assertTranscript(run, self.introduction() + [
            "DHCP Subnet number = 2",
            "Reading position: 10.1.2.0",
            "Reading position: 10.2.0.0",
        ] + self.ending(3, "10.0.0.5", "out.xml"))

    def test_failed_version_call(self):
        run = self.run_fake("version 1722\nsubnets 0 10.1.2.0\n", b"\n\n")
        self.assertTranscript(run, self.introduction() + self.error_line(1722) +
                              self.ending(0, "127.0.0.1"), status=2)

    def test_two_subnet_batches_and_a_continued_client_enumeration(self):
        scenario = """
subnets 234 10.1.2.0
subnets 0 10.3.0.0
clients 10.1.2.0 234
lease 10.1.2.10 00:16:3e:00:00:01 first
clients 10.1.2.0 0
lease 10.1.2.11 00:16:3e:00:00:02 second
clients 10.3.0.0 5
"""
        run = self.run_fake(scenario, b"dhcp1\n\n")
        self.assertTranscript(run, self.introduction() + [
            "DHCP Subnet number = 1",
            "Reading position: 10.1.2.0",
            "DHCP Subnet number = 1",
            "Reading position: 10.3.0.0",
        ] + self.error_line(5) + self.ending(2, "dhcp1", self.program.default_file), status=2)

    def test_enumerations_that_do_not_move_are_stopped(self):
        scenario = """
subnets 234 10.1.2.0
subnets 234 stay 10.2.0.0
clients 10.1.2.0 0
lease 10.1.2.10 00:16:3e:00:00:01 whole
clients 10.2.0.0 234 stay
lease 10.2.0.5 00:16:3e:00:00:02 again
"""
        run = self.run_fake(scenario, b"\nleases.xml\n")
        self.assertTranscript(run, self.introduction() + [
            "DHCP Subnet number = 1",
            "Reading position: 10.1.2.0",
            "DHCP Subnet number = 1",
            "Reading position: 10.2.0.0",
        ] + self.error_line(13) + self.error_line(13) + self.ending(1, "127.0.0.1", "leases.xml"),
            status=2)

    def test_enumerations_that_go_round_are_stopped(self):
        scenario = """
subnets 234 10.1.2.0
subnets 234 10.2.0.0
subnets 234 next 1 10.3.0.0 10.1.2.0
clients 10.1.2.0 234
lease 10.1.2.10 00:16:3e:00:00:01 round-1
clients 10.1.2.0 234
lease 10.1.2.11 00:16:3e:00:00:02 round-2
clients 10.1.2.0 234 next 1
lease 10.1.2.12 00:16:3e:00:00:03 round-3
clients 10.2.0.0 0
lease 10.2.0.5 00:16:3e:00:00:04 whole
"""
        run = self.run_fake(scenario, b"\nleases.xml\n")
        self.assertTranscript(run, self.introduction() + [
            "DHCP Subnet number = 1",
            "Reading position: 10.1.2.0",
        ] + self.error_line(13) + [
            "DHCP Subnet number = 1",
            "Reading position: 10.2.0.0",
            "DHCP Subnet number = 2",
            "Reading position: 10.3.0.0",
        ] + self.error_line(13) + self.ending(1, "127.0.0.1", "leases.xml"), status=2)

    def test_a_status_without_a_text_is_named_by_its_number(self):
        run = self.run_fake("subnets 0 10.1.2.0\nclients 10.1.2.0 99999\n", b"\n\n")
        self.assertTranscript(run, self.introduction() + [
            "DHCP Subnet number = 1",
            "Reading position: 10.1.2.0",
            "",
            "Error: 99999",
        ] + self.ending(0, "127.0.0.1"), status=2)

    def test_exit_status_tells_a_clean_run_from_one_with_errors(self):
        cases = {
            "clean": (NORMAL_SERVER, b"\nleases.xml\n", 0),
            "no lease, no error": ("version 0\n", b"\nleases.xml\n", 0),
            "a failed query": ("version 1722\n", b"\nleases.xml\n", 2),
            "a failed subnet": ("subnets 0 10.1.2.0\nclients 10.1.2.0 5\n", b"\n\n", 2),
            "a file that cannot be opened": (NORMAL_SERVER, b"\nmissing/leases.xml\n", 2),
            "an error status that comes with an array": (
                "subnets 1722 10.1.2.0\nclients 10.1.2.0 0\nlease 10.1.2.10 - pc\n", b"\n\n", 2),
            "a resume handle that comes back": (
                "subnets 234 10.1.2.0\nsubnets 234 next 0 10.2.0.0\n", b"\n\n", 2),
            "a last batch without an array": ("subnets 0 none\n", b"\n\n", 0),
        }
        for name, (scenario, answers, status) in cases.items():
            with self.subTest(name):
                run = self.run_fake(scenario, answers)
                self.assertEqual((run.status, run.stderr), (status, b""))
                self.assertTrue(run.stdout.endswith(b"\r\nPress any key to exit\r\n"))

    def test_empty_and_blank_answers_take_the_defaults(self):
        for answers in (b"\n\n", b" \t \n\t\t  \n", b"\r\n\r\n"):
            with self.subTest(answers=answers):
                run = self.run_fake(NORMAL_SERVER, answers)
                self.assertIn(b"Queried 3 entries from server 127.0.0.1.\r\n", run.stdout)
                self.assertEqual(run.status, 0)

    def test_a_byte_order_mark_before_the_first_answer_is_skipped(self):
        run = self.run_fake("version 0\n", b"\xef\xbb\xbf10.0.0.5\r\n\r\n")
        self.assertTranscript(run, self.introduction() + self.ending(0, "10.0.0.5"))

    def test_answers_are_trimmed_before_use(self):
        run = self.run_fake(NORMAL_SERVER, b"  10.0.0.5  \n")
        self.assertIn(b"\r\nQueried 3 entries from server 10.0.0.5.\r\n", run.stdout)

    def test_input_that_ends_early_gives_empty_answers(self):
        cases = {
            "no input at all": (b"", "127.0.0.1"),
            "a first answer without its line end": (b"10.0.0.9", "10.0.0.9"),
        }
        for name, (answers, server) in cases.items():
            with self.subTest(name):
                run = self.run_fake("version 0\n", answers)
                self.assertTranscript(run, self.introduction() + self.ending(0, server))

    def test_standard_input_from_a_file_or_the_null_device_does_not_hang(self):
        with tempfile.TemporaryFile() as answers:
            answers.write(b"10.0.0.9")
            answers.seek(0)
            run = self.run_fake("version 0\n", None, stdin=answers)
        self.assertTranscript(run, self.introduction() + self.ending(0, "10.0.0.9"))
        with open(os.devnull, "rb") as null:
            run = self.run_fake("version 0\n", None, stdin=null)
        self.assertTranscript(run, self.introduction() + self.ending(0, "127.0.0.1"))

    def test_closed_standard_input_does_not_hang(self):
        run = self.run_fake("version 0\n", None, stdin=subprocess.DEVNULL,
                       preexec_fn=lambda: os.close(0))
        self.assertTranscript(run, self.introduction() + self.ending(0, "127.0.0.1"))


NORMAL_SERVER_RECORDS = [
    ("pc1.corp.example", "10.1.2.10", "00-16-3E-00-00-01"),
    ("", "10.1.2.11", ""),
    ("a&b<c>\"d'e", "10.2.0.5", "00-16-3E-00-00-03"),
]

NORMAL_SERVER_XML = (
    b'<?xml version="1.0"?>\r\n<addrlist version="4">'
    b"<address><hostname>pc1.corp.example</hostname><ip>10.1.2.10</ip>"
    b"<mac>00-16-3E-00-00-01</mac></address>"
    b"<address><hostname></hostname><ip>10.1.2.11</ip><mac></mac></address>"
    b"<address><hostname>a&amp;b&lt;c&gt;&quot;d&apos;e</hostname><ip>10.2.0.5</ip>"
    b"<mac>00-16-3E-00-00-03</mac></address></addrlist>")


class OutputFiles(TranscriptTest):
    """The file a run leaves behind, chosen by the command line."""

    def save(self, answers, arguments=(), scenario=NORMAL_SERVER, prepare=None, keep=None,
             status=0, stderr=b"", **options):
        """The run in a scratch directory and what it left there: the files by name, or what
        `keep(directory)` gives."""
        with tempfile.TemporaryDirectory() as directory:
            if prepare:
                prepare(directory)
            run = self.run_fake(scenario, answers, arguments, cwd=directory, **options)
            self.assertEqual(run.stderr, stderr)
            self.assertEqual(run.status, status)
            if keep:
                return run, keep(directory)
            files = {}
            for name in os.listdir(directory):
                with open(os.path.join(directory, name), "rb") as file:
                    files[name] = file.read()
            return run, files

    def test_no_argument_saves_exactly_one_xml_document(self):
        for arguments in ((), ("",)):
            with self.subTest(arguments=arguments):
                run, files = self.save(b"\nleases.xml\n", arguments)
                self.assertEqual(list(files), ["leases.xml"])
                self.assertEqual(files["leases.xml"], NORMAL_SERVER_XML)
                self.assertEqual(records_of_xml(files["leases.xml"]), NORMAL_SERVER_RECORDS)
                self.assertEqual(run.lines_after_summary(),
                                 ["Query results have been saved to file leases.xml."])

    def test_text_argument_in_any_case_saves_the_text_file(self):
        for argument in ("/text", "/Text", "/TEXT"):
            with self.subTest(argument=argument):
                run, files = self.save(b"\nleases.txt\n", [argument])
                self.assertEqual(list(files), ["leases.txt"])
                self.assertEqual(records_of_text(files["leases.txt"]), NORMAL_SERVER_RECORDS)
                self.assertTrue(files["leases.txt"].endswith(b";10.2.0.5;00-16-3E-00-00-03\r\n"))

    def test_a_host_name_cannot_add_a_record_or_shift_a_column(self):
        scenario = """
subnets 0 10.1.2.0
clients 10.1.2.0 0
lease 10.1.2.10 00:16:3e:00:00:01 pc1\\u000d\\u000aforged.example;10.9.9.9;AA-BB-CC-DD-EE-FF
lease 10.1.2.11 00:16:3e:00:00:02 tab\\u0009semi;bell\\u0007
lease 10.1.2.12 00:16:3e:00:00:03 del\\u007fnel\\u0085line\\u2028paragraph\\u2029euro\\u20ac
"""
        run, files = self.save(b"\nleases.txt\n", ["/text"], scenario=scenario)
        self.assertEqual(files["leases.txt"], (
            b"# Name;IP;MAC\r\n"
            b"pc1??forged.example?10.9.9.9?AA-BB-CC-DD-EE-FF;10.1.2.10;00-16-3E-00-00-01\r\n"
            b"tab?semi?bell?;10.1.2.11;00-16-3E-00-00-02\r\n"
            b"del?nel?line?paragraph?euro" + self.program.narrow("\u20ac") +
            b";10.1.2.12;00-16-3E-00-00-03\r\n"))

    def test_a_look_alike_of_a_separator_stays_what_it_is(self):
        scenario = """
subnets 0 10.1.2.0
clients 10.1.2.0 0
lease 10.1.2.10 00:16:3e:00:00:01 pc\\uff1b1\\uff1cx
"""
        run, files = self.save(b"\nleases.txt\n", ["/text"], scenario=scenario)
        self.assertEqual(files["leases.txt"], b"# Name;IP;MAC\r\n" + self.program.narrow(
            "pc\uff1b1\uff1cx") + b";10.1.2.10;00-16-3E-00-00-01\r\n")

    def test_a_subnet_that_fails_halfway_is_not_saved_in_part(self):
        scenario = """
subnets 0 10.1.2.0 10.2.0.0
clients 10.1.2.0 234
lease 10.1.2.10 00:16:3e:00:00:01 first-half
clients 10.1.2.0 1722 none
clients 10.2.0.0 0
lease 10.2.0.5 00:16:3e:00:00:02 whole
"""
        run, files = self.save(b"\nleases.txt\n", ["/text"], scenario=scenario, status=2)
        self.assertEqual(records_of_text(files["leases.txt"]),
                         [("whole", "10.2.0.5", "00-16-3E-00-00-02")])
        self.assertIn(b"\r\n\r\nError: " + self.program.error_text(1722).encode() +
                      b"\r\nReading position: 10.2.0.0\r\n", run.stdout)
        self.assertIn(b"\r\nQueried 1 entries from server 127.0.0.1.\r\n", run.stdout)

    def test_what_is_saved_and_shown_is_the_answer_up_to_a_nul_byte(self):
        run, files = self.save(b"10.0.0.5\0junk\rleases.xml\0.txt\n")
        self.assertEqual(list(files), ["leases.xml"])
        self.assertIn(b"\r\nQueried 3 entries from server 10.0.0.5.\r\n", run.stdout)
        self.assertEqual(run.lines_after_summary(),
                         ["Query results have been saved to file leases.xml."])

    def test_other_arguments_save_nothing_and_say_so_on_standard_error_only(self):
        cases = [(["-text"], "-text"), (["/text", "x"], "x"), (["text"], "text"),
                 (["/xml"], "/xml"), (["/txt"], "/txt"), (["--help"], "--help"),
                 (["/text", "/text"], "/text"), (["x", "/text"], "x")]
        for arguments, named in cases:
            with self.subTest(arguments=arguments):
                run, files = self.save(b"\nleases.xml\n", arguments, status=2,
                                       stderr=rejected_arguments_line(named))
                self.assertEqual(files, {})
                self.assertEqual(run.lines_after_summary(), [])

    def test_no_lease_means_no_file_whatever_the_arguments(self):
        for arguments in ([], ["/text"], ["a", "b"]):
            with self.subTest(arguments=arguments):
                rejected = arguments == ["a", "b"]
                run, files = self.save(b"\nleases.xml\n", arguments, scenario="version 0\n",
                                       status=2 if rejected else 0,
                                       stderr=rejected_arguments_line("a") if rejected else b"")
                self.assertEqual(files, {})
                self.assertEqual(run.lines_after_summary(), [])

    def test_a_longer_old_file_leaves_no_trace(self):
        def old_file(directory):
            with open(os.path.join(directory, "leases.xml"), "wb") as file:
                file.write(b"<old/>" * 10000)
        run, files = self.save(b"\nleases.xml\n", prepare=old_file)
        self.assertEqual(files["leases.xml"], NORMAL_SERVER_XML)
        run, files = self.save(b"\nleases.xml\n", ["/text"], prepare=old_file)
        self.assertEqual(records_of_text(files["leases.xml"]), NORMAL_SERVER_RECORDS)
        self.assertEqual(run.lines_after_summary(),
                         ["Query results have been saved to file leases.xml."])

    def test_a_path_that_is_a_directory_is_reported_and_left_alone(self):
        def directory_with_a_file(directory):
            os.mkdir(os.path.join(directory, "leases"))
            with open(os.path.join(directory, "leases", "kept"), "wb") as file:
                file.write(b"kept")
        for arguments in ((), ("/text",)):
            with self.subTest(arguments=arguments):
                run, files = self.save(b"\nleases\n", arguments, prepare=directory_with_a_file,
                                       status=2, keep=lambda directory: os.listdir(
                                           os.path.join(directory, "leases")))
                self.assertEqual(files, ["kept"])
                self.assertEqual(run.lines_after_summary(), ["", "Cannot open file leases."])

    def test_a_missing_directory_is_reported_and_nothing_else(self):
        for arguments in ((), ("/text",)):
            with self.subTest(arguments=arguments):
                run, files = self.save(b"\nmissing/leases.xml\n", arguments, status=2)
                self.assertEqual(files, {})
                self.assertEqual(run.lines_after_summary(),
                                 ["", "Cannot open file missing/leases.xml."])

    def test_a_failed_write_keeps_yesterdays_file_and_leaves_nothing_else(self):
        def old_file(directory):
            with open(os.path.join(directory, "leases.xml"), "wb") as file:
                file.write(b"yesterday")
        for arguments in ((), ("/text",)):
            with self.subTest(arguments=arguments):
                run, files = self.save(b"\nleases.xml\n", arguments, prepare=old_file,
                                       status=2, preexec_fn=small_file_size_limit)
                self.assertEqual(files, {"leases.xml": b"yesterday"})
                self.assertEqual(run.lines_after_summary(), ["", "Cannot write file leases.xml."])

    def test_a_full_device_is_never_reported_as_saved(self):
        for arguments in ((), ("/text",)):
            with self.subTest(arguments=arguments):
                run, files = self.save(b"\n/dev/full\n", arguments, status=2)
                self.assertEqual(run.lines_after_summary(), ["", "Cannot write file /dev/full."])


def rejected_arguments_line(named):
    return (f'leasedump: argument "{named}" not accepted; give no argument for the XML file, or '
            "the one argument /text for the text file. Nothing was saved.\r\n").encode()


def small_file_size_limit():
    """Runs in the child before exec: no file may grow beyond 64 bytes, as on a full disk."""
    signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
    resource.setrlimit(resource.RLIMIT_FSIZE, (64, resource.getrlimit(resource.RLIMIT_FSIZE)[1]))


NOBODY = 65534


def as_nobody():
    """Runs in the child before exec: the unprivileged user, for whom permissions hold."""
    os.setgroups([])
    os.setgid(NOBODY)
    os.setuid(NOBODY)


class ReadOnlyDirectory(TranscriptTest):
    """Root writes anywhere: as root the program runs as the user nobody."""

    def run_as_nobody(self, directory, answers):
        os.chmod(directory, 0o755)
        scenario = os.path.join(directory, "server.scenario")
        with open(scenario, "w") as file:
            file.write(NORMAL_SERVER)
        os.chmod(scenario, 0o644)
        try:
            completed = subprocess.run(
                self.program.fake_command(), input=answers, capture_output=True,
                env=self.program.environment(scenario), cwd=directory, timeout=60,
                preexec_fn=as_nobody if os.geteuid() == 0 else None)
        except (PermissionError, subprocess.SubprocessError) as error:
            self.skipTest(f"cannot run the program as the unprivileged user nobody: {error}")
        return Run(completed)

    def test_a_read_only_directory_is_reported_and_nothing_is_written(self):
        with tempfile.TemporaryDirectory() as directory:
            read_only = os.path.join(directory, "read-only")
            os.mkdir(read_only, 0o555)
            run = self.run_as_nobody(directory, b"\nread-only/leases.xml\n")
            if os.geteuid() != 0 and os.access(read_only, os.W_OK):
                self.skipTest("this user may write into a read-only directory")
            self.assertEqual((run.status, run.stderr), (2, b""))
            self.assertEqual(run.lines_after_summary(),
                             ["", "Cannot open file read-only/leases.xml."])
            self.assertEqual(os.listdir(read_only), [])

    def test_a_read_only_file_is_not_replaced_and_a_writable_one_is_written_in_place(self):
        with tempfile.TemporaryDirectory() as directory:
            folder = os.path.join(directory, "folder")
            os.mkdir(folder, 0o777)
            os.chmod(folder, 0o777)
            for name, mode in (("read-only.xml", 0o444), ("writable.xml", 0o666)):
                with open(os.path.join(folder, name), "wb") as file:
                    file.write(b"old")
                os.chmod(os.path.join(folder, name), mode)
            run = self.run_as_nobody(directory, b"\nfolder/read-only.xml\n")
            if os.geteuid() != 0:
                self.skipTest("the files must belong to another user")
            self.assertEqual(run.lines_after_summary(),
                             ["", "Cannot open file folder/read-only.xml."])
            os.chmod(folder, 0o555)
            run = self.run_as_nobody(directory, b"\nfolder/writable.xml\n")
            self.assertEqual((run.status, run.stderr), (0, b""))
            os.chmod(folder, 0o755)
            with open(os.path.join(folder, "writable.xml"), "rb") as file:
                self.assertEqual(file.read(), NORMAL_SERVER_XML)
            with open(os.path.join(folder, "read-only.xml"), "rb") as file:
                self.assertEqual(file.read(), b"old")
            self.assertEqual(sorted(os.listdir(folder)), ["read-only.xml", "writable.xml"])


class TerminalKeyWait(unittest.TestCase):
    """The key wait on a real terminal (a pseudo-terminal here): whatever ends it, the terminal is
    left in the mode it had and with no byte of the key for the shell to read."""
    program = LinuxProgram()

    def start_and_wait_for_the_key_wait(self, directory):
        controller, terminal = pty.openpty()
        self.addCleanup(os.close, controller)
        self.addCleanup(os.close, terminal)
        scenario = os.path.join(directory, "server.scenario")
        with open(scenario, "w") as file:
            file.write("version 0\n")
        process = subprocess.Popen(self.program.fake_command(), stdin=terminal,
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                   env=self.program.environment(scenario), cwd=directory)
        self.addCleanup(process.kill)
        self.addCleanup(process.stdout.close)
        os.write(controller, b"\n\n")
        shown = b""
        while not shown.endswith(b"Press any key to exit\r\n"):
            ready, _, _ = select.select([process.stdout], [], [], 10)
            self.assertTrue(ready, shown)
            shown += os.read(process.stdout.fileno(), 4096)
        # The wait has switched the mode once the program reads; give it that moment.
        deadline = time.monotonic() + 10
        while termios.tcgetattr(terminal)[3] & termios.ICANON and time.monotonic() < deadline:
            time.sleep(0.01)
        return controller, terminal, process

    def test_a_signal_during_the_wait_restores_the_terminal(self):
        for sent in (signal.SIGTERM, signal.SIGINT):
            with self.subTest(signal=sent), tempfile.TemporaryDirectory() as directory:
                controller, terminal, process = self.start_and_wait_for_the_key_wait(directory)
                raw = termios.tcgetattr(terminal)[3]
                process.send_signal(sent)
                self.assertEqual(process.wait(10), -sent)
                mode = termios.tcgetattr(terminal)[3]
                self.assertTrue(mode & termios.ICANON and mode & termios.ECHO, (raw, mode))

    def test_an_arrow_key_leaves_nothing_behind(self):
        with tempfile.TemporaryDirectory() as directory:
            controller, terminal, process = self.start_and_wait_for_the_key_wait(directory)
            os.write(controller, b"\x1b[A")
            self.assertEqual(process.wait(10), 0)
            attributes = termios.tcgetattr(terminal)
            attributes[3] &= ~termios.ICANON
            attributes[6][termios.VMIN] = 0
            attributes[6][termios.VTIME] = 0
            termios.tcsetattr(terminal, termios.TCSANOW, attributes)
            self.assertEqual(os.read(terminal, 16), b"")


class FailureReport(unittest.TestCase):
    program = LinuxProgram()

    def setUp(self):
        module = re.escape(self.program.module_name.encode())
        self.REPORT = re.compile(rb"Exception EInOutError in module " + module +
                                 rb" at [0-9A-F]{16}\.\r\n(.*)\r\n\r\n", re.S)

    def run_with_stdout(self, stdout):
        return subprocess.run(self.program.real_command(), stdin=subprocess.DEVNULL,
                              stdout=stdout, stderr=subprocess.PIPE, timeout=60)

    def test_an_endless_answer_line_ends_the_run_before_anything_is_asked(self):
        with tempfile.TemporaryFile() as answers:
            answers.write(b"x" * 70000 + b"\n\n")
            answers.seek(0)
            inputs = {"a line of 70000 bytes": answers, "the null bytes of /dev/zero": None}
            for name, stdin in inputs.items():
                with self.subTest(name):
                    if stdin is None:
                        with open("/dev/zero", "rb") as zero:
                            completed = self.run_with_stdin(zero)
                    else:
                        completed = self.run_with_stdin(stdin)
                    self.assertEqual(completed.returncode, 1)
                    match = self.REPORT.fullmatch(completed.stderr)
                    self.assertIsNotNone(match, completed.stderr)
                    self.assertEqual(match.group(1), b"Input line too long.")
                    self.assertNotIn(b"Queried", completed.stdout)

    def run_with_stdin(self, stdin):
        return subprocess.run(self.program.real_command(), stdin=stdin, capture_output=True,
                              timeout=60)

    def test_full_device_on_standard_output(self):
        with open("/dev/full", "wb") as full:
            completed = self.run_with_stdout(full)
        self.assertEqual(completed.returncode, 1)
        match = self.REPORT.fullmatch(completed.stderr)
        self.assertIsNotNone(match, completed.stderr)
        self.assertEqual(match.group(1), b"Disk full.")

    def test_closed_pipe_on_standard_output(self):
        reader, writer = os.pipe()
        os.close(reader)
        try:
            completed = self.run_with_stdout(writer)
        finally:
            os.close(writer)
        self.assertEqual(completed.returncode, 1)
        match = self.REPORT.fullmatch(completed.stderr)
        self.assertIsNotNone(match, completed.stderr)
        self.assertEqual(match.group(1), f"I/O error {self.program.closed_pipe_error}.".encode())


if __name__ == "__main__":
    unittest.main()
