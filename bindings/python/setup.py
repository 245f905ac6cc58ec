"""The tessaly package: the library's formats over ctypes. Its low-level declarations are
generated from the library's export table when the package is built, so they cannot drift."""
import os
import subprocess
import sys
from pathlib import Path

from setuptools import setup
from setuptools.command.build_py import build_py

HERE = Path(__file__).resolve().parent


class BuildWithDeclarations(build_py):
    def run(self):
        super().run()
        table = os.environ.get("TESSALY_EXPORTS_TABLE", str(HERE.parent.parent / "src" / "frame" / "exports.table"))
        target = Path(self.build_lib) / "tessaly" / "_exports.py"
        if not Path(table).exists() and target.exists():
            return  # a release bundle carries the declarations already made
        subprocess.run([sys.executable, str(HERE.parent / "generate.py"), table, "python", str(target)], check=True)


setup(
    name="tessaly",
    version="6.0.0.1",
    description="The data formats of TessalyEn_M.dll (ciphers, digests, Base64, RSA lines, scramblers) over ctypes",
    packages=["tessaly"],
    python_requires=">=3.9",
    cmdclass={"build_py": BuildWithDeclarations},
)
