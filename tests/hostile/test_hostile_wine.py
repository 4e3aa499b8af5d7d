"""The hostile-container corpus (make_corpus.py, around the real setup.exe)
run through setup.exe itself under Wine, all files in one driver session.

Files shorter than the program itself are left out: the system refuses to
start them (the end-to-end suite and the host suite cover what their bytes
mean to the extraction). For every other file the bootstrapper ends with
exit code 0, without hanging, and with at most one box captioned "Setup" and
nothing of its own beside it. A
damaged container shows the extraction's message that the corpus names; a
sound one is handed over (its images are not real programs, so the hand-over
may fail with the launch's message, which is the secondary setup's fault, not
a crash of the bootstrapper's).

Needs RUNNER (scripts/wine-exec.sh), DRIVER (run_plan.exe), KIV_STUB and WORK."""

import os
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
import make_corpus  # noqa: E402
from run_plan import Plan, fresh_folder, read_result, winpath  # noqa: E402

LAUNCH_MESSAGES = {"Cannot load secondary setup.", "Cannot load secondary setup. (2)",
                   "Setup.exe is damaged. (2)"}
EXTRACTION_MESSAGES = {make_corpus.DAMAGED, make_corpus.NO_IMAGE, make_corpus.COPY_FAILED,
                       "Cannot create temporary setup file."}


class HostileContainersUnderWine(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        work = fresh_folder(os.environ["WORK"])
        with open(os.environ["KIV_STUB"], "rb") as f:
            cls.stub = f.read()
        cls.cases = make_corpus.build(cls.stub, seed=6)
        corpus = fresh_folder(os.path.join(work, "corpus"))
        plan = Plan(work)
        cls.outs = []
        for index, (name, data, _, _) in enumerate(cls.cases):
            if len(data) < len(cls.stub):
                cls.outs.append(None)
                continue
            setup = os.path.join(corpus, "%03d-%s.exe" % (index, name))
            with open(setup, "wb") as f:
                f.write(data)
            cls.outs.append(plan.add("%03d" % index, winpath(setup))[1])
        cls.log = plan.run(os.environ["RUNNER"], os.environ["DRIVER"], timeout=1500)

    def test_every_file_ends_in_one_box_at_most_and_exit_0(self):
        ran = [i for i, out in enumerate(self.outs) if out]
        self.assertGreater(len(ran), 60, "most of the corpus holds the whole program")
        for index in ran:
            name, _, expect, what = self.cases[index]
            with self.subTest("%03d-%s" % (index, name), what=what):
                result = read_result(self.outs[index])
                self.assertIsNotNone(result, "the driver did not run it\n" + self.log[-2000:])
                self.assertFalse(result["timeout"], "hung")
                self.assertEqual(result["exit"], 0, "crashed or failed to exit cleanly")
                self.assertLessEqual(result["boxes"], 1, result["texts"])
                text = result["texts"][0] if result["texts"] else None
                if text is not None:
                    self.assertEqual(result["others"], 0, "a window of its own beside the box")
                if expect == "ok":
                    self.assertIn(text, LAUNCH_MESSAGES | {None})
                elif expect == "any":
                    self.assertIn(text, LAUNCH_MESSAGES | EXTRACTION_MESSAGES | {None})
                else:
                    self.assertEqual(text, expect)


if __name__ == "__main__":
    unittest.main()
