#!/usr/bin/env python3
"""Runs the end-to-end tests (tests/e2e/test_*.py) against the exes in --bin.

Expects the environment that tools/test prepares: DISPLAY (an X server), WINEPREFIX (a private
prefix), a warm wineserver and, for tests that talk to the local service, its network namespace.
The last line printed is "e2e: N passed, N failed" (", N skipped" when some were skipped); the exit
code is non-zero when a test failed or errored, or when nothing could run.
"""

import argparse
import os
import signal
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # keep the source tree clean


class CountingResult(unittest.TextTestResult):
    def __init__(self, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self.passed = 0

    def addSuccess(self, test):
        super().addSuccess(test)
        self.passed += 1

    def addSubTest(self, test, subtest, outcome):
        super().addSubTest(test, subtest, outcome)
        if outcome is None:
            self.passed += 1


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bin", required=True, help="folder holding the wizard exes and wizard-driver.exe")
    parser.add_argument("--ship-bin", help="folder holding the shipped (32-bit) stubs, when --bin holds "
                                           "another architecture's build; default: --bin")
    parser.add_argument("-k", dest="patterns", action="append", default=None,
                        help="only tests whose name contains this (may repeat)")
    parser.add_argument("--artifacts", help="folder for screenshots on timeouts and wizard logs")
    parser.add_argument("-q", "--quiet", action="store_true", help="one character per test")
    args = parser.parse_args(argv)

    bin_dir = os.path.abspath(args.bin)
    if not os.path.isdir(bin_dir):
        print("run.py: --bin %s is not a folder" % bin_dir, file=sys.stderr)
        print("e2e: 0 passed, 1 failed")
        return 2
    missing_env = [name for name in ("DISPLAY",) if not os.environ.get(name)]
    if missing_env:
        print("run.py: %s not set (run through tools/test, or see tests/e2e/README.md)"
              % ", ".join(missing_env), file=sys.stderr)
        print("e2e: 0 passed, 1 failed")
        return 2

    os.environ["ZELVANE_E2E_BIN"] = bin_dir
    os.environ["ZELVANE_E2E_SHIP_BIN"] = os.path.abspath(args.ship_bin or bin_dir)
    if args.artifacts:
        os.environ["ZELVANE_E2E_ARTIFACTS"] = os.path.abspath(args.artifacts)
    os.environ.setdefault("WINEDEBUG", "-all")
    sys.path.insert(0, HERE)

    loader = unittest.TestLoader()
    if args.patterns:
        loader.testNamePatterns = ["*%s*" % p for p in args.patterns]
    suite = loader.discover(start_dir=HERE, pattern="test_*.py", top_level_dir=HERE)

    import harness  # after sys.path is set

    def stopped(signum, _frame):
        harness.kill_all()
        print("run.py: stopped by signal %d" % signum, file=sys.stderr, flush=True)
        os._exit(128 + signum)

    signal.signal(signal.SIGTERM, stopped)
    signal.signal(signal.SIGHUP, stopped)

    runner = unittest.TextTestRunner(stream=sys.stderr, verbosity=1 if args.quiet else 2,
                                     resultclass=CountingResult)
    try:
        result = runner.run(suite)
    finally:
        harness.kill_all()

    failed = len(result.failures) + len(result.errors) + len(result.unexpectedSuccesses)
    skipped = len(result.skipped)
    line = "e2e: %d passed, %d failed" % (result.passed, failed)
    if skipped:
        line += ", %d skipped" % skipped
    sys.stderr.flush()
    print(line, flush=True)
    if failed:
        return 1
    if result.passed == 0:
        return 1  # nothing was tested: a missing build, not a pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
