#!/usr/bin/env python3
"""Runs every GoogleTest program of a build once as a whole, in one process,
as ctest does not (it runs each test on its own): a test that passes only
after a fresh start, or only after another one, shows here.

    scripts/run_suites.py BUILD_DIR
"""
import json
import subprocess
import sys


def gtest_programs(build_dir):
    listing = subprocess.run(["ctest", "--test-dir", build_dir, "--show-only=json-v1"],
                             stdout=subprocess.PIPE, check=True, text=True).stdout
    programs = []
    for test in json.loads(listing)["tests"]:
        command = test.get("command") or []
        if any(arg.startswith("--gtest_filter=") for arg in command) and command[0] not in programs:
            programs.append(command[0])
    return programs


def main(argv):
    if len(argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    failed = []
    for program in gtest_programs(argv[1]):
        result = subprocess.run([program, "--gtest_brief=1"], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                text=True)
        summary = result.stdout.strip().splitlines()[-1] if result.stdout.strip() else ""
        print("%-60s %s" % (program, summary))
        if result.returncode != 0:
            failed.append(program)
            print(result.stdout[-3000:])
    print("run_suites: %d programs whole, %d failed" % (len(gtest_programs(argv[1])), len(failed)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
