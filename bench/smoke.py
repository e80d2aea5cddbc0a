"""The benchmark's three modes at 100,000 leases, checked by their output bytes (not their time)
against the reference writers: the XML against pugixml's and the plain streaming writer's, the
text against the streaming writer's, the query's XML against the same bytes again."""

import os
import re
import subprocess
import tempfile
import unittest

BUILD = os.environ.get("LEASEDUMP_BUILD_DIR", "build")
BENCH = os.path.join(BUILD, "bench")
COUNT = 100_000
# One line per phase on standard error, and nothing else.
PHASE_LINE = re.compile(r"^(fill|query|tree build|serialise|write|release) \d+\.\d ms$")


def program(name):
    return os.path.abspath(os.path.join(BENCH, name))


class BenchmarkOutput(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.directory = tempfile.TemporaryDirectory()
        cls.runs = {}
        for mode in ("xml", "text", "query"):
            cls.runs[mode] = cls.run_program("leasedump-bench", mode, str(COUNT), cls.path(mode))
        cls.run_program("leasedump-ref-pugixml", str(COUNT), cls.path("pugixml"))
        cls.run_program("leasedump-ref-stream", "xml", str(COUNT), cls.path("stream.xml"))
        cls.run_program("leasedump-ref-stream", "text", str(COUNT), cls.path("stream.txt"))

    @classmethod
    def tearDownClass(cls):
        cls.directory.cleanup()

    @classmethod
    def path(cls, name):
        return os.path.join(cls.directory.name, name)

    @classmethod
    def run_program(cls, name, *arguments):
        completed = subprocess.run([program(name), *arguments], stdin=subprocess.DEVNULL,
                                   capture_output=True, timeout=120)
        if completed.returncode != 0:
            raise AssertionError(f"{name} {' '.join(arguments)} ended with "
                                 f"{completed.returncode}: {completed.stderr!r}")
        return completed

    def read(self, name):
        with open(self.path(name), "rb") as file:
            return file.read()

    def assertPhases(self, mode, phases):
        lines = self.runs[mode].stderr.decode().splitlines()
        for line in lines:
            self.assertRegex(line, PHASE_LINE)
        self.assertEqual([PHASE_LINE.match(line).group(1) for line in lines], phases)

    def test_xml_is_what_the_reference_writers_write(self):
        xml = self.read("xml")
        self.assertEqual(xml, self.read("pugixml"))
        self.assertEqual(xml, self.read("stream.xml"))
        self.assertTrue(xml.startswith(b'<?xml version="1.0"?>\r\n<addrlist version="4">'
                                       b"<address><hostname>R&amp;D-ws0.corp.example</hostname>"
                                       b"<ip>10.0.0.0</ip><mac>00-16-3E-00-00-00</mac></address>"))
        self.assertTrue(xml.endswith(b"<address><hostname>ws99999.corp.example</hostname>"
                                     b"<ip>10.1.134.159</ip><mac>00-16-3E-01-86-9F</mac>"
                                     b"</address></addrlist>"))
        self.assertEqual(xml.count(b"<address>"), COUNT)

    def test_text_is_what_the_streaming_writer_writes(self):
        text = self.read("text")
        self.assertEqual(text, self.read("stream.txt"))
        self.assertEqual(text.count(b"\r\n"), COUNT + 1)

    def test_query_of_the_served_leases_gives_the_same_document(self):
        self.assertEqual(self.read("query"), self.read("pugixml"))

    def test_each_phase_is_one_line_on_standard_error(self):
        self.assertPhases("xml", ["fill", "tree build", "serialise", "write", "release"])
        self.assertPhases("text", ["fill", "write"])
        self.assertPhases("query", ["query", "tree build", "serialise", "write", "release"])

    def test_console_lines_are_the_writers_and_the_querys(self):
        saved = lambda mode: f"Query results have been saved to file {self.path(mode)}.\r\n"
        self.assertEqual(self.runs["xml"].stdout.decode(), saved("xml"))
        self.assertEqual(self.runs["text"].stdout.decode(), saved("text"))
        query_lines = self.runs["query"].stdout.decode().split("\r\n")
        self.assertEqual(query_lines[0], "DHCP Subnet number = 4")
        self.assertEqual(query_lines[1:5], ["Reading position: 10.0.0.0",
                                            "Reading position: 10.0.97.168",
                                            "Reading position: 10.0.195.80",
                                            "Reading position: 10.1.36.248"])
        self.assertEqual(query_lines[5:], saved("query").split("\r\n"))


class BenchmarkArguments(unittest.TestCase):
    def test_wrong_arguments_give_the_usage_and_status_2(self):
        for arguments in ([], ["xml", "10"], ["html", "10", "x"], ["xml", "ten", "x"],
                          ["xml", "-1", "x"]):
            with self.subTest(arguments=arguments):
                completed = subprocess.run([program("leasedump-bench"), *arguments],
                                           stdin=subprocess.DEVNULL, capture_output=True,
                                           timeout=60)
                self.assertEqual(completed.returncode, 2)
                self.assertEqual(completed.stdout, b"")
                self.assertIn(b"usage: leasedump-bench", completed.stderr)

    def test_small_counts_match_the_streaming_writer(self):
        with tempfile.TemporaryDirectory() as directory:
            for count in ("0", "1", "17"):
                for mode in ("xml", "query"):
                    with self.subTest(count=count, mode=mode):
                        ours = os.path.join(directory, mode + count)
                        reference = os.path.join(directory, "stream" + count)
                        for command in ([program("leasedump-bench"), mode, count, ours],
                                        [program("leasedump-ref-stream"), "xml", count,
                                         reference]):
                            subprocess.run(command, stdin=subprocess.DEVNULL, check=True,
                                           capture_output=True, timeout=60)
                        with open(ours, "rb") as mine, open(reference, "rb") as theirs:
                            self.assertEqual(mine.read(), theirs.read())


if __name__ == "__main__":
    unittest.main()
