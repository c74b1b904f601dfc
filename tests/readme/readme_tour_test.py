#!/usr/bin/env python3
"""Runs every `$ ...` line of the README's fenced blocks and compares what it
prints with the lines shown under it, so that the front door cannot drift from
what the program does.

    readme_tour_test.py README RAVELIN_EXE PROJECT_SOURCE_DIR [PYTHONPATH]

The commands run in order, through the shell, in one scratch folder that holds
copies of the bundled examples and golden files, with colours off and the
built `ravelin` first on the PATH (and the built Python package on PYTHONPATH
when one is given). A shown line "..." stands for any number of lines; every
other shown line must appear, in order and exactly. A fenced Python block runs
in its turn too, with the PYTHONPATH given, and must end without an error.
Exit 0 when all match, 1 otherwise.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

FENCE = re.compile(r"^```")
PROMPT = "$ "


def tour_commands(readme_text):
    """Yields (line number, command, expected lines) for each prompt line, and
    (line number, Python code, None) for each fenced Python block."""
    inside = False
    current = None
    python = None
    for number, line in enumerate(readme_text.splitlines(), 1):
        if FENCE.match(line):
            if current:
                yield current
                current = None
            if python:
                yield (python[0], "\n".join(python[1]), None)
                python = None
            elif not inside and line.strip() == "```python":
                python = (number, [])
            inside = not inside
            continue
        if python:
            python[1].append(line)
        elif not inside:
            continue
        elif line.startswith(PROMPT):
            if current:
                yield current
            current = (number, line[len(PROMPT):], [])
        elif current:
            current[2].append(line)
    if current:
        yield current


def matches(expected, actual):
    """True when the expected lines appear in order, "..." skipping any run."""
    position = 0
    skipping = False
    for want in expected:
        if want.strip() == "...":
            skipping = True
            continue
        while position < len(actual) and actual[position] != want:
            if not skipping:
                return False
            position += 1
        if position == len(actual):
            return False
        position += 1
        skipping = False
    return skipping or position == len(actual)


def scratch_folder(project):
    folder = tempfile.mkdtemp(prefix="readme-tour-")
    shutil.copytree(os.path.join(project, "examples"), os.path.join(folder, "examples"))
    shutil.copytree(os.path.join(project, "tests", "golden"),
                    os.path.join(folder, "tests", "golden"))
    os.makedirs(os.path.join(folder, "build", "demo"))
    return folder


def run_python_block(number, code, folder, env):
    """Runs a Python example of the README, which must end without an error;
    1 when it fails. Skipped (0) without the built module."""
    if "PYTHONPATH" not in env:
        print(f"README line {number}: Python example skipped, no module built")
        return 0
    run = subprocess.run([sys.executable, "-c", code], cwd=folder, env=env, timeout=60,
                         stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if run.returncode == 0:
        return 0
    print(f"FAIL: README line {number}: the Python example exits {run.returncode}")
    print("  printed:\n    " + "\n    ".join(run.stdout.splitlines()))
    return 1


def main():
    readme, ravelin, project = sys.argv[1:4]
    python_path = sys.argv[4] if len(sys.argv) > 4 else None
    with open(readme, encoding="utf-8") as f:
        commands = list(tour_commands(f.read()))
    if not commands:
        print(f"FAIL: no '$' lines in {readme}")
        return 1
    folder = scratch_folder(project)
    bin_dir = os.path.join(folder, ".bin")
    os.makedirs(bin_dir)
    os.symlink(os.path.abspath(ravelin), os.path.join(bin_dir, "ravelin"))
    env = dict(os.environ, NO_COLOR="1", PATH=bin_dir + os.pathsep + os.environ["PATH"])
    if python_path:
        env["PYTHONPATH"] = os.path.abspath(python_path)
    failures = 0
    try:
        for number, command, expected in commands:
            if expected is None:
                failures += run_python_block(number, command, folder, env)
                continue
            run = subprocess.run(command, shell=True, cwd=folder, env=env, timeout=60,
                                 stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
            actual = run.stdout.splitlines()
            if not matches(expected, actual):
                failures += 1
                print(f"FAIL: README line {number}: {command} (exit {run.returncode})")
                print("  shown:\n    " + "\n    ".join(expected))
                print("  printed:\n    " + "\n    ".join(actual))
    finally:
        shutil.rmtree(folder)
    print(f"README tour: {len(commands)} commands, {failures} differ")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
