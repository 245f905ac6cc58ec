#!/usr/bin/env python3
"""Writes the bindings' low-level declarations from src/frame/exports.table.

Usage: generate.py TABLE vb OUTPUT.bas | TABLE python OUTPUT.py
"""
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import exports_table  # noqa: E402

# ---- Visual Basic 6 and VBA -------------------------------------------------------------------

# Words VB reserves that the table uses as argument names.
VB_RESERVED = {"input", "output", "name", "len", "mod", "not", "and", "or", "xor", "is", "like", "date", "error",
               "open", "close", "get", "put", "seek", "lock", "unlock", "width", "print", "string", "object",
               "long", "byte", "integer", "double", "single", "type", "end", "time", "binary", "random"}
POINTER_SIZED = {"handle", "jni-env", "jni-object"}


def vb_argument(name, word, vba7):
    if name.lower() in VB_RESERVED:
        name += "Value"
    if word in ("bytes", "const-bytes", "const-memory"):
        return f"ByRef {name} As Byte"  # the first byte of the buffer
    if word in ("int32-pointer", "uint32-pointer"):
        return f"ByRef {name} As Long"
    if word in ("text", "text-buffer"):
        return f"ByVal {name} As String"
    if word == "text-reference":
        return f"ByRef {name} As String"
    if word in POINTER_SIZED:
        return f"ByVal {name} As {'LongPtr' if vba7 else 'Long'}"
    return f"ByVal {name} As Long"  # int32, uint32, byte, flag: one 32-bit slot


def vb_result(result, vba7):
    return {"none": "", "int32": " As Long", "uint32": " As Long", "double": " As Double", "bool8": " As Byte",
            "handle": " As LongPtr" if vba7 else " As Long",
            "text-buffer": " As LongPtr" if vba7 else " As Long"}[result]


def vb_declare(export, vba7):
    kind = "Sub" if export.result == "none" else "Function"
    name = export.names["win32"][0]
    alias = f' Alias "{name}"' if name != export.symbol else ""
    arguments = ", ".join(vb_argument(n, w, vba7) for n, w in export.arguments)
    return (f"Public Declare {'PtrSafe ' if vba7 else ''}{kind} {export.symbol} Lib \"TessalyEn_M.dll\"{alias} "
            f"({arguments}){vb_result(export.result, vba7)}")


def visual_basic(exports):
    carried = [e for e in exports if e.names["win32"]]
    lines = ['Attribute VB_Name = "Tessaly"',
             "' Every export of TessalyEn_M.dll, generated from the library's export table: do not edit.",
             "' 32-bit VB6 and VBA, and 64-bit VBA (VBA7: PtrSafe, LongPtr for handles and pointer results).",
             "' Buffers pass their first byte ByRef; texts ByVal As String (pre-size buffers with Space$);",
             "' the S forms take the String ByRef. The decorated names bind through Alias on both DLLs.",
             "' The two Java_ natives are for a JVM; they are declared only so that the list is whole.",
             "Option Explicit", "", "#If VBA7 Then"]
    lines += [vb_declare(e, True) for e in carried]
    lines += ["#Else"] + [vb_declare(e, False) for e in carried] + ["#End If", ""]
    return "\r\n".join(lines)  # a .bas file has Windows line ends


# ---- Python (ctypes) ---------------------------------------------------------------------------

CTYPES = {"int32": "ctypes.c_int32", "uint32": "ctypes.c_uint32", "byte": "ctypes.c_int32", "flag": "ctypes.c_int32",
          "text": "ctypes.c_char_p", "text-buffer": "ctypes.c_char_p", "text-reference": "ctypes.POINTER(ctypes.c_char_p)",
          "bytes": "ctypes.c_void_p", "const-bytes": "ctypes.c_void_p", "const-memory": "ctypes.c_void_p",
          "int32-pointer": "ctypes.POINTER(ctypes.c_int32)", "uint32-pointer": "ctypes.POINTER(ctypes.c_uint32)",
          "handle": "ctypes.c_size_t", "jni-env": "ctypes.c_void_p", "jni-object": "ctypes.c_void_p",
          "none": "None", "double": "ctypes.c_double", "bool8": "ctypes.c_uint8", "text-buffer-result": "ctypes.c_void_p"}


def python(exports):
    lines = ['"""Every export of the library as a ctypes prototype, generated from its export table: do not edit."""',
             "import ctypes", "", "# name: (result, argument types, {target: exported names})", "EXPORTS = {"]
    for e in exports:
        result = CTYPES["text-buffer-result" if e.result == "text-buffer" else e.result]
        arguments = ", ".join(CTYPES[w] for _, w in e.arguments)
        lines.append(f"    {e.symbol!r}: ({result}, [{arguments}], {e.names!r}),")
    lines += ["}", ""]
    return "\n".join(lines)


def main():
    table, kind, output = sys.argv[1:4]
    exports = exports_table.read(table)
    text = {"vb": visual_basic, "python": python}[kind](exports)
    Path(output).parent.mkdir(parents=True, exist_ok=True)
    Path(output).write_bytes(text.encode())


if __name__ == "__main__":
    main()
