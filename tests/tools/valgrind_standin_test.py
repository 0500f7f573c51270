"""The two ways a test under valgrind can end other than passing, shown with a
stand-in `valgrind` first on PATH: one that refuses an instruction as
valgrind 3.19 refuses RDTSCP on a processor that does not report it (the
test skips, status 77, with that reason), and ones that write wrong counts or
pass on the probe's own failure (the test fails: a fault is never taken for
the host's)."""

import os
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "tools"))
from benchdata import HOST_SKIP  # noqa: E402

REFUSES = r'''
import os, sys
pid = os.getpid()
sys.stderr.write(
    "vex amd64->IR: unhandled instruction bytes: 0xF 0x1 0xF9 0x48 0x8B 0x5 0x0 0x0\n"
    "vex amd64->IR:   REX=0 REX.W=0 REX.R=0 REX.X=0 REX.B=0\n"
    f"=={pid}== valgrind: Unrecognised instruction at address 0x49d2522.\n"
    f"=={pid}==    at 0x49D2522: hwy::platform::TimerResolution() (in /usr/lib/x86_64-linux-gnu/libhwy.so.1.0.3)\n"
    f"=={pid}==    by 0x4004A1D: call_init (dl-init.c:74)\n"
    f"=={pid}== Mispred rate:  0.0% (0.0%     + 0.0%   )\n")
sys.exit(1)
'''

# Every event counted once: a sort's call of a few thousand elements makes
# far more instructions and branches than that.
WRONG_COUNTS = r'''
import sys
out = next(a.split("=", 1)[1] for a in sys.argv if a.startswith("--callgrind-out-file="))
with open(out, "w") as f:
    f.write("events: Ir Bc Bcm D1mr D1mw DLmr DLmw\ntotals: 1 1 1 1 1 1 1\n")
'''

# The probe's own failure under valgrind, beside valgrind's closing lines.
PROBE_FAILS = r'''
import os, sys
sys.stderr.write("cache_probe: shell_sort did not sort random/2000/int32\n"
                 f"=={os.getpid()}== Mispred rate:  0.0% (0.0%     + 0.0%   )\n")
sys.exit(1)
'''

# The tests as CTest runs them: the simulation's own test, and the
# instruction gate.
COMMANDS = {
    "cachesim": [sys.executable, str(REPO / "tests" / "tools" / "cachesim_test.py")],
    "instructions": [sys.executable, str(REPO / "tools" / "instructions.py")],
}


def run_with(stand_in, command):
    with tempfile.TemporaryDirectory() as tmp:
        fake = Path(tmp) / "valgrind"
        fake.write_text(f"#!{sys.executable}\n{stand_in}")
        fake.chmod(0o755)
        env = dict(os.environ, PATH=f"{tmp}{os.pathsep}{os.environ['PATH']}")
        return subprocess.run(command, capture_output=True, text=True, env=env, timeout=240)


class StandInValgrind(unittest.TestCase):
    def test_a_refused_instruction_skips_with_its_cause(self):
        for name, command in COMMANDS.items():
            with self.subTest(test=name):
                r = run_with(REFUSES, command)
                said = r.stdout + r.stderr
                self.assertEqual(r.returncode, HOST_SKIP, said)
                self.assertIn("valgrind cannot run RDTSCP here: this processor does not report it", said)
                self.assertIn("hwy::platform::TimerResolution()", said)
                self.assertNotIn("Mispred rate", said)

    def test_a_fault_of_ours_fails(self):
        for fault, stand_in in {"wrong counts": WRONG_COUNTS, "the probe failed": PROBE_FAILS}.items():
            for name, command in COMMANDS.items():
                with self.subTest(fault=fault, test=name):
                    r = run_with(stand_in, command)
                    self.assertNotIn(r.returncode, (0, HOST_SKIP), r.stdout + r.stderr)
                    self.assertNotIn("skipped", (r.stdout + r.stderr).lower())


if __name__ == "__main__":
    unittest.main()
