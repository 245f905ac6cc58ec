# The generated module against the export table and the 32-bit .def, and the check itself
# against modules with one deliberate mistake each.
import os
import sys
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parent))
from check_module import check  # noqa: E402

MODULE, TABLE, DEF = (os.environ[v] for v in ("TESSALY_VB_MODULE", "TESSALY_EXPORTS_TABLE", "TESSALY_WIN32_DEF"))


def test_every_export_is_declared_right_in_both_branches():
    assert check(MODULE, TABLE, DEF) == []
    text = Path(MODULE).read_text()
    assert text.count("Public Declare PtrSafe ") == text.count("Public Declare ") // 2 == 81


MISTAKES = [
    ("a buffer passed ByVal", "(ByRef buffer As Byte, ByVal length As Long, ByRef key As Byte, ByVal mode",
     "(ByVal buffer As Byte, ByVal length As Long, ByRef key As Byte, ByVal mode", "ByVal buffer As Byte for a bytes"),
    ("a missing Alias", 'memcmp_zk Lib "TessalyEn_M.dll" Alias "_memcmp_zk@12"', 'memcmp_zk Lib "TessalyEn_M.dll"',
     "binds to memcmp_zk"),
    ("a Long where 64-bit VBA needs a LongPtr", "ByVal windowName As String) As LongPtr",
     "ByVal windowName As String) As Long", "pointer-sized"),
    ("an argument too few", "abs_zk Lib \"TessalyEn_M.dll\" (ByVal value As Long)", "abs_zk Lib \"TessalyEn_M.dll\" ()",
     "takes 0 arguments, 4 bytes"),
    ("PtrSafe missing", "Public Declare PtrSafe Function GetDLLVersion", "Public Declare Function GetDLLVersion",
     "lacks PtrSafe"),
    ("an S form with its String ByVal", "(ByRef pathReference As String)", "(ByVal pathReference As String)",
     "for a text-reference"),
]


@pytest.mark.parametrize("what,right,wrong,fault", MISTAKES, ids=[m[0] for m in MISTAKES])
def test_the_check_finds_a_wrong_declaration(tmp_path, what, right, wrong, fault):
    text = Path(MODULE).read_bytes().decode()
    assert right in text
    mistaken = tmp_path / "Tessaly.bas"
    mistaken.write_bytes(text.replace(right, wrong, 1).encode())
    faults = check(mistaken, TABLE, DEF)
    assert any(fault in f for f in faults), faults


def test_the_check_finds_a_missing_declaration(tmp_path):
    lines = Path(MODULE).read_bytes().decode().split("\r\n")
    mistaken = tmp_path / "Tessaly.bas"
    mistaken.write_bytes("\r\n".join(l for l in lines if " DoRSA " not in l).encode())
    assert check(mistaken, TABLE, DEF) == ["VBA7: DoRSA is not declared", "VB6: DoRSA is not declared"]
