# The tool and the exports as a user and a host reach them: TESSALY_TOOL and
# TESSALY_EXPORT_HOST are command lines (a program, or Wine with a Windows program).
import os
import shlex
import subprocess

import pytest


class Runner:
    def __init__(self, command):
        self.command = shlex.split(command)

    def __call__(self, *args, input=b"", check=False):
        result = subprocess.run(self.command + [str(a) for a in args], input=input,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=600)
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
