"""The Windows zip made by CPack: it holds the program, the README and the licence and nothing
else, and the program taken from it runs the dialogue transcripts under Wine, beside the fake
dhcpsapi.dll of the build it was made from (copied next to the unzipped program for the run
only).

LEASEDUMP_ZIP names the zip, LEASEDUMP_WIN_BUILD_DIR the MinGW build tree, LEASEDUMP_WINE the
Wine loader."""

import os
import shutil
import sys
import tempfile
import unittest
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, os.pardir, "wine"))
sys.path.insert(0, os.path.join(HERE, os.pardir, "e2e"))
import transcripts  # noqa: E402
import wine_transcripts  # noqa: E402

ZIP = os.path.abspath(os.environ["LEASEDUMP_ZIP"])
FOLDER = os.path.splitext(os.path.basename(ZIP))[0]


class UnzippedSession(wine_transcripts.WineSession):
    """The Wine check's prefix and server, but the program is the one from the zip, in a
    scratch folder of its own."""

    def __init__(self, build):
        super().__init__(build)
        self.unzipped = tempfile.mkdtemp(prefix="leasedump-zip-")
        self.folder = os.path.join(self.unzipped, "run")

    def gather_programs(self):
        with zipfile.ZipFile(ZIP) as archive:
            archive.extractall(self.unzipped)
        os.makedirs(self.folder)
        shutil.copy2(os.path.join(self.unzipped, FOLDER, "leasedump.exe"), self.folder)
        check = os.path.join(self.build, "wine-check")
        for name in os.listdir(check):
            shutil.copy2(os.path.join(check, name), self.folder)

    def stop(self):
        super().stop()
        shutil.rmtree(self.unzipped, ignore_errors=True)


SESSION = UnzippedSession(wine_transcripts.BUILD)
PROGRAM = wine_transcripts.WineProgram(SESSION)


def setUpModule():
    unittest.addModuleCleanup(SESSION.stop)
    SESSION.start()


class ZipContents(unittest.TestCase):
    def test_holds_the_program_the_readme_and_the_licence_only(self):
        with zipfile.ZipFile(ZIP) as archive:
            names = sorted(info.filename for info in archive.infolist() if not info.is_dir())
            licence = archive.read(f"{FOLDER}/LICENSE")
        self.assertEqual(names, [f"{FOLDER}/LICENSE", f"{FOLDER}/README.md",
                                 f"{FOLDER}/leasedump.exe"])
        with open(os.path.join(HERE, os.pardir, os.pardir, "LICENSE"), "rb") as source:
            self.assertEqual(licence, source.read())

    def test_program_imports_only_system_dlls(self):
        with open(SESSION.path("leasedump.exe"), "rb") as file:
            dlls = set(wine_transcripts.imported_dlls(file.read()))
        self.assertIn("dhcpsapi.dll", dlls)
        self.assertLessEqual(dlls, wine_transcripts.SYSTEM_DLLS)


class UnzippedDialogueTranscripts(transcripts.DialogueTranscripts):
    program = PROGRAM

    @unittest.skip("Wine puts a directory on a closed descriptor 0 (see tests/wine)")
    def test_closed_standard_input_does_not_hang(self):
        pass


class UnzippedOutputFiles(transcripts.OutputFiles):
    program = PROGRAM


if __name__ == "__main__":
    unittest.main()
