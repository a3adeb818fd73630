"""The production's generated data is what its scripts write: a table edited
in tools/makeTracks.py or a glyph in tools/makeStrokeFont.py without the
files written again would ship a picture that the scripts no longer make,
and the next run of the script would silently undo whatever was tuned in
the files alone. Each script's --check compares without writing."""

import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(__file__))
import xtools  # noqa: E402


class GeneratedData(unittest.TestCase):
    def test_the_files_are_what_the_scripts_write(self):
        for script in ("makeTracks.py", "makeStrokeFont.py"):
            result = subprocess.run([sys.executable, os.path.join(xtools.SOURCE_DIR, "tools", script), "--check"],
                                    capture_output=True, text=True, timeout=300)
            self.assertEqual(result.returncode, 0, script + ": " + result.stderr)


if __name__ == "__main__":
    unittest.main()
