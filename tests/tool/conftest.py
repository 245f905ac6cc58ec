# The tool and the exports as a user and a host reach them: TESSALY_TOOL and
# TESSALY_EXPORT_HOST are command lines (a program, or Wine with a Windows program).
import os
import shlex
import subprocess
import tempfile

import pytest


# Starts under Wine that ended with status 1 and no output at all, and were run again.
lost_starts = []


class Runner:
    def __init__(self, command):
        self.command = shlex.split(command)
        self.under_wine = os.path.basename(self.command[0]) == "wine-run.sh"

    # Output goes to files, not pipes: under Wine a helper process the program starts (the
    # desktop) inherits its streams and would keep a pipe open for seconds after it ends.
    def run_once(self, args, input):
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            returncode = subprocess.run(self.command + [str(a) for a in args], input=input,
                                        stdout=out, stderr=err, timeout=600).returncode
            out.seek(0)
            err.seek(0)
            return subprocess.CompletedProcess(args, returncode, out.read(), err.read())

    def __call__(self, *args, input=b"", check=False):
        result = self.run_once(args, input)
        # Now and then (a few times in many thousand starts, never reproduced on demand) Wine
        # ends a start with status 1 and no output at all, before the program has run: the tool
        # prints a message with every failure of its own. Such a start is run once more and named
        # in the summary. The programs are deterministic, so a failure of theirs repeats and stands.
        if self.under_wine and result.returncode == 1 and not result.stdout and not result.stderr:
            lost_starts.append(" ".join(str(a) for a in args))
            result = self.run_once(args, input)
        if check and result.returncode != 0:
            raise AssertionError(f"{args} failed with {result.returncode}: {result.stderr.decode(errors='replace')}")
        return result


@pytest.fixture(scope="session", autouse=True)
def lasting_wine_server():
    """Under Wine, one server for the whole session. Left to itself the server ends a few
    seconds after each program, and a program that starts while it is ending can fail."""
    command = shlex.split(os.environ["TESSALY_TOOL"])
    if os.path.basename(command[0]) != "wine-run.sh":
        yield
        return
    environment = dict(os.environ, WINEARCH=command[1], WINEPREFIX=os.path.realpath(command[2]))
    subprocess.run(command + ["--version"], stdout=subprocess.DEVNULL, check=True)  # makes the prefix
    quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=environment)
    subprocess.run(["wineserver", "-k"], **quiet)
    subprocess.run(["wineserver", "-p"], **quiet, check=True)
    yield
    subprocess.run(["wineserver", "-k"], **quiet)


@pytest.fixture(scope="session")
def tool():
    return Runner(os.environ["TESSALY_TOOL"])


@pytest.fixture(scope="session")
def export_host():
    return Runner(os.environ["TESSALY_EXPORT_HOST"])


@pytest.fixture(scope="session")
def tool_command():
    return shlex.split(os.environ["TESSALY_TOOL"])


def pytest_terminal_summary(terminalreporter):
    for args in lost_starts:
        terminalreporter.write_line(f"wine: a start of '{args}' ended with status 1 and no output; it was run again")


def pytest_configure(config):
    config.addinivalue_line("markers", "heavy: a gigabyte through the tool; natively only")


def pytest_collection_modifyitems(config, items):
    if os.environ.get("TESSALY_TOOL_HEAVY") != "1":
        skip = pytest.mark.skip(reason="the gigabyte runs in the native release build only")
        for item in items:
            if "heavy" in item.keywords:
                item.add_marker(skip)
