# The tool and the exports as a user and a host reach them: TESSALY_TOOL and
# TESSALY_EXPORT_HOST are command lines (a program, or Wine with a Windows program).
import os
import shlex
import subprocess
import tempfile

import pytest


class Runner:
    def __init__(self, command):
        self.command = shlex.split(command)

    # Output goes to files, not pipes: under Wine a helper process the program starts (the
    # desktop) inherits its streams and would keep a pipe open for seconds after it ends.
    def __call__(self, *args, input=b"", check=False):
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            returncode = subprocess.run(self.command + [str(a) for a in args], input=input,
                                        stdout=out, stderr=err, timeout=600).returncode
            out.seek(0)
            err.seek(0)
            result = subprocess.CompletedProcess(args, returncode, out.read(), err.read())
        if check and result.returncode != 0:
            raise AssertionError(f"{args} failed with {result.returncode}: {result.stderr.decode(errors='replace')}")
        return result


@pytest.fixture(scope="session")
def tool():
    return Runner(os.environ["TESSALY_TOOL"])


@pytest.fixture(scope="session")
def export_host():
    return Runner(os.environ["TESSALY_EXPORT_HOST"])


@pytest.fixture(scope="session")
def tool_command():
    return shlex.split(os.environ["TESSALY_TOOL"])


def pytest_configure(config):
    config.addinivalue_line("markers", "heavy: a gigabyte through the tool; natively only")


def pytest_collection_modifyitems(config, items):
    if os.environ.get("TESSALY_TOOL_HEAVY") != "1":
        skip = pytest.mark.skip(reason="the gigabyte runs in the native release build only")
        for item in items:
            if "heavy" in item.keywords:
                item.add_marker(skip)
