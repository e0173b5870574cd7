#!/usr/bin/env python3
"""Puts single-line faults into a scratch copy of the engine, one at a time,
and reports the ones the test suite does not catch.

Each fault in the list (faults.txt beside this script) is one line:

    path/to/file.cpp: original text => faulty text

The original text must occur exactly once in the file, so a fault always
means one place. Lines starting with '#' and blank lines are ignored.

For every fault the script copies nothing twice: it keeps one scratch copy of
the checked-in tree and one optimised build of it, swaps the faulty text in,
rebuilds, runs the suite until the first failure, and puts the original back.
A fault the suite passes with is a survivor. A fault that does not compile
is a mistake in the list and is reported as such, not counted.

    tools/mutate/mutate.py                 # every fault in the list
    tools/mutate/mutate.py --only 3 7      # faults 3 and 7 (1-based)
    tools/mutate/mutate.py --grep dab_mix  # faults whose line contains this
    tools/mutate/mutate.py --min-rate 95   # exit 1 below this kill rate
"""

import argparse
import os
import shutil
import subprocess
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent.parent


class Fault:
    def __init__(self, number, line):
        self.number = number
        self.line = line
        path, sep, rest = line.partition(": ")
        original, arrow, faulty = rest.partition(" => ")
        if not sep or not arrow or not original or original == faulty:
            raise ValueError(f"fault {number}: expected 'file: original => faulty': {line}")
        self.path, self.original, self.faulty = path.strip(), original, faulty


def read_faults(list_path):
    faults = []
    for line in list_path.read_text().splitlines():
        if line.strip() and not line.lstrip().startswith("#"):
            faults.append(Fault(len(faults) + 1, line))
    return faults


def run(cmd, cwd, timeout=None):
    return subprocess.run(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True, timeout=timeout)


def prepare_scratch(scratch, jobs):
    """Copies the checked-in tree into the scratch directory (only what
    changed since the last run) and builds it once."""
    source = scratch / "src"
    files = run(["git", "ls-files", "-z"], ROOT).stdout.split("\0")
    for name in filter(None, files):
        src, dst = ROOT / name, source / name
        if not src.is_file():
            continue
        if dst.exists() and dst.read_bytes() == src.read_bytes():
            continue
        dst.parent.mkdir(parents=True, exist_ok=True)
        # A fresh time stamp, not the original's: a file edited while an
        # earlier scratch build ran would otherwise look older than its
        # object and never be rebuilt.
        shutil.copyfile(src, dst)
    build = scratch / "build"
    configure = run(["cmake", "-S", str(source), "-B", str(build), "-G", "Ninja",
                     "-DCMAKE_BUILD_TYPE=Release", "-DDROVINE_BENCH=OFF"], source)
    if configure.returncode != 0:
        sys.exit("configuring the scratch build failed:\n" + configure.stdout)
    built = run(["cmake", "--build", str(build), "-j", str(jobs)], source)
    if built.returncode != 0:
        sys.exit("the unchanged tree does not build:\n" + built.stdout[-4000:])
    tests = run(["ctest", "-j", str(jobs), "--timeout", "300"], build)
    if tests.returncode != 0:
        sys.exit("the unchanged tree fails its tests:\n" + tests.stdout[-4000:])
    return source, build


def try_fault(fault, source, build, jobs):
    """Returns (status, detail): killed, survived, or a list error."""
    path = source / fault.path
    if not path.is_file():
        return "error", f"no file {fault.path}"
    text = path.read_text()
    count = text.count(fault.original)
    if count != 1:
        return "error", f"the original text occurs {count} times in {fault.path}"
    try:
        path.write_text(text.replace(fault.original, fault.faulty))
        built = run(["cmake", "--build", str(build), "-j", str(jobs)], source)
        if built.returncode != 0:
            return "error", "does not compile"
        tests = run(["ctest", "-j", str(jobs), "--stop-on-failure", "--timeout", "300"], build)
        if tests.returncode != 0:
            failed = [l.split("-", 1)[-1].strip() for l in tests.stdout.splitlines()
                      if "***Failed" in l or "***Exception" in l or "***Timeout" in l]
            return "killed", ", ".join(failed[:3]) or "suite failed"
        return "survived", ""
    finally:
        # Restore the original with a fresh time stamp, so the next build
        # recompiles it.
        path.write_text(text)
        os.utime(path)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--list", type=Path, default=HERE / "faults.txt")
    parser.add_argument("--scratch", type=Path,
                        default=Path(os.environ.get("TMPDIR", "/tmp")) / "drovine-mutate")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    parser.add_argument("--only", type=int, nargs="*", help="fault numbers, 1-based")
    parser.add_argument("--grep", help="only faults whose line contains this text")
    parser.add_argument("--min-rate", type=float, default=0,
                        help="exit with 1 when fewer than this percentage are killed")
    args = parser.parse_args()

    faults = read_faults(args.list)
    if args.only:
        faults = [f for f in faults if f.number in args.only]
    if args.grep:
        faults = [f for f in faults if args.grep in f.line]
    source, build = prepare_scratch(args.scratch, args.jobs)

    results = {"killed": [], "survived": [], "error": []}
    for fault in faults:
        start = time.monotonic()
        status, detail = try_fault(fault, source, build, args.jobs)
        results[status].append(fault)
        print(f"{fault.number:3} {status:8} {time.monotonic() - start:5.0f} s  {fault.line}"
              + (f"\n              {detail}" if detail else ""), flush=True)
    # Leave the scratch build matching the tree for the next run.
    run(["cmake", "--build", str(build), "-j", str(args.jobs)], source)

    tried = len(results["killed"]) + len(results["survived"])
    rate = 100.0 * len(results["killed"]) / tried if tried else 100.0
    print(f"\n{len(results['killed'])} of {tried} faults killed ({rate:.1f}%)"
          + (f"; {len(results['error'])} faults in the list are wrong" if results["error"] else ""))
    for fault in results["survived"]:
        print(f"survived: {fault.number}: {fault.line}")
    for fault in results["error"]:
        print(f"list error: {fault.number}: {fault.line}")
    return 1 if rate < args.min_rate or results["error"] else 0


if __name__ == "__main__":
    sys.exit(main())
