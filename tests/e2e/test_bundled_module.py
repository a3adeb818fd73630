"""The bundled module and the demo built on it: the file in data/ is what
tools/makeModule.py writes today, the demo's instrument numbers name the
samples they mean and its length is the module's, and the production ends
on the music's fade rather than in the middle of a note."""

import array
import os
import re
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import xtools  # noqa: E402

DEMO = xtools.binary("tessellune_demo")
MODULE = os.path.join(xtools.SOURCE_DIR, "data", "music", "tessellate.mod")
SCRIPT = os.path.join(xtools.SOURCE_DIR, "tools", "makeModule.py")
SAMPLES = {"DEMO_KICK": "kick", "DEMO_SNARE": "snare", "DEMO_HAT": "hat", "DEMO_BASS": "bass",
           "DEMO_LEAD": "lead", "DEMO_PAD": "pad", "DEMO_CRASH": "crash"}


def demo_constants():
    with open(os.path.join(xtools.SOURCE_DIR, "effects", "demo", "demo.h")) as f:
        return {name: int(value) for name, value in re.findall(r"const int (DEMO_\w+) = (\d+);", f.read())}


def make(*arguments):
    return subprocess.run(["/usr/bin/python3", SCRIPT, *arguments], capture_output=True, text=True,
                          check=True, timeout=120).stdout


class BundledModule(unittest.TestCase):
    def test_the_file_is_what_the_script_writes(self):
        with open(MODULE, "rb") as f:
            bundled = f.read()
        with tempfile.TemporaryDirectory() as folder:
            for name in ("a.mod", "b.mod"):
                self.assertIn("12 orders, 92.16 s", make(os.path.join(folder, name)))
                with open(os.path.join(folder, name), "rb") as f:
                    self.assertEqual(f.read(), bundled, "regenerate data/music/tessellate.mod")
            # The fuzz seed's and the benchmarks' sizes still come out.
            self.assertIn("1 orders, 0.96 s", make("--orders", "1", "--rows", "8", os.path.join(folder, "s.mod")))
            self.assertIn("80 orders, 614.40 s", make("--orders", "80", os.path.join(folder, "l.mod")))

    def test_the_demo_names_the_module_s_samples_and_its_length(self):
        constants = demo_constants()
        with open(MODULE, "rb") as f:
            data = f.read()
        names = [data[20 + 30 * i:42 + 30 * i].rstrip(b"\0").decode() for i in range(31)]
        for constant, sample in SAMPLES.items():
            self.assertEqual(names[constants[constant] - 1], sample, constant)
        self.assertEqual(data[950], constants["DEMO_ORDERS"], "orders in the module's play order")

    def test_the_production_ends_on_the_fade(self):
        # The last order: one more kick and crash, then everything fades out
        # before the production's last frame.
        with tempfile.TemporaryDirectory() as folder:
            subprocess.run([DEMO, "--capture", folder, "--fps", "4", "--from", "1:24.48", "--to", "1:32.16",
                            "--resolution", "160x90"], cwd=xtools.SOURCE_DIR, capture_output=True, check=True,
                           timeout=180)
            with open(os.path.join(folder, "sound.wav"), "rb") as f:
                samples = array.array("h", f.read()[44:])
        rate = 2 * 44100
        self.assertGreater(max(map(abs, samples[:rate // 2])), 8000, "the last kick and crash")
        self.assertGreater(max(map(abs, samples[3 * rate:4 * rate])), 300, "still sounding as it fades")
        self.assertLess(max(map(abs, samples[-rate // 4:])), 64, "silent at the end")


if __name__ == "__main__":
    unittest.main()
