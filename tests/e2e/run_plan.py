"""The Python side of run_plan.exe (run_plan.cpp): writes a plan of
bootstrapper runs, has the driver carry them all out in one Wine process
(started by the project's Wine runner), and reads back each run's result.

Each run gets its own temporary folder (TMP and TEMP) and its own folder for
results; the driver answers every "Setup" box and writes result.txt there."""

import os
import shutil
import subprocess


def winpath(path):
    """The Windows name of a host path: Z: is Wine's view of the root."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def unescape(text):
    return text.replace("\\r", "\r").replace("\\n", "\n")


class Plan:
    def __init__(self, work):
        self.work = work
        self.lines = []

    def add(self, name, command, wait_for_report=False):
        """Adds a run named `name` of the raw command line `command`; gives
        (temporary folder, results folder) on the host."""
        temp = os.path.join(self.work, "runs", name, "tmp")
        out = os.path.join(self.work, "runs", name, "out")
        os.makedirs(temp)
        self.lines += ["run " + name, "temp " + winpath(temp), "out " + winpath(out),
                       "cmd " + command]
        if wait_for_report:
            self.lines.append("await")
        self.lines.append("end")
        return temp, out

    def run(self, runner, driver, timeout):
        """Carries out every run in one driver process; gives its output."""
        path = os.path.join(self.work, "plan.txt")
        with open(path, "w", newline="\n") as f:
            f.write("\n".join(self.lines) + "\n")
        env = dict(os.environ, WINEDEBUG=os.environ.get("WINEDEBUG", "-all"))
        r = subprocess.run([runner, driver, winpath(path)], capture_output=True, timeout=timeout,
                           env=env)
        return r.stdout.decode(errors="replace") + r.stderr.decode(errors="replace")


def read_result(out):
    """result.txt of one run as a dict: exit, boxes, others (ints or None),
    timeout (bool), texts (the boxes' texts, unescaped)."""
    result = {"exit": None, "boxes": None, "others": None, "timeout": False, "texts": []}
    path = os.path.join(out, "result.txt")
    if not os.path.isfile(path):
        return None
    with open(path, "rb") as f:
        for line in f.read().decode("latin-1").splitlines():
            key, _, value = line.partition("=")
            if key == "box":
                result["texts"].append(unescape(value))
            elif key == "timeout":
                result["timeout"] = True
            elif key in ("exit", "boxes", "others"):
                result[key] = int(value) if value.isdigit() else value
    return result


def fresh_folder(path):
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path
