#!/usr/bin/env python3
"""Writes the bindings' low-level declarations from src/frame/exports.table.

Usage: generate.py TABLE vb|python|java|csharp|mono-config OUTPUT
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


# ---- Java (JNA) ----------------------------------------------------------------------------------

JAVA = {"int32": "int", "uint32": "int", "byte": "int", "flag": "int", "text": "String", "text-buffer": "byte[]",
        "text-reference": "PointerByReference", "bytes": "byte[]", "const-bytes": "byte[]", "const-memory": "byte[]",
        "int32-pointer": "IntByReference", "uint32-pointer": "IntByReference", "handle": "Pointer"}
JAVA_RESULT = {"none": "void", "int32": "int", "uint32": "int", "double": "double", "bool8": "byte",
               "handle": "Pointer", "text-buffer": "Pointer"}


def callable_from_ffi(export):
    """The Java natives take a JNIEnv: only a JVM calls them, never a foreign-function layer."""
    return not any(w.startswith("jni-") for _, w in export.arguments)


def java(exports):
    lines = ["// Every export of the library as a JNA method, generated from its export table: do not edit.",
             "// The two Java natives are reached through class Tessaly instead.",
             "import com.sun.jna.FunctionMapper;", "import com.sun.jna.Library;", "import com.sun.jna.Native;",
             "import com.sun.jna.Platform;", "import com.sun.jna.Pointer;", "import com.sun.jna.ptr.IntByReference;",
             "import com.sun.jna.ptr.PointerByReference;", "import com.sun.jna.win32.StdCallLibrary;",
             "import java.util.Map;", "",
             "public interface TessalyLibrary extends Library {",
             "    /** The form for 32-bit Windows, where every export is stdcall. */",
             "    interface StdCall extends TessalyLibrary, StdCallLibrary {}", "",
             "    /** Each method's exported name on 32-bit Windows, 64-bit Windows and elsewhere (null: not carried). */",
             "    Map<String, String[]> NAMES = Map.ofEntries("]
    entries = []
    for e in filter(callable_from_ffi, exports):
        names = ", ".join(f'"{e.names[t][0]}"' if e.names[t] else "null" for t in exports_table.TARGETS)
        entries.append(f'        Map.entry("{e.symbol}", new String[] {{{names}}})')
    lines.append(",\n".join(entries) + ");")
    lines += ["",
              "    /** The library of this platform: TessalyEn_M on Windows, tessaly elsewhere. */",
              "    static TessalyLibrary load() {",
              "        int column = Platform.isWindows() ? (Platform.is64Bit() ? 1 : 0) : 2;",
              "        FunctionMapper mapper = (library, method) -> NAMES.get(method.getName())[column];",
              "        Map<String, Object> options = Map.of(Library.OPTION_FUNCTION_MAPPER, mapper);",
              "        String name = Platform.isWindows() ? \"TessalyEn_M\" : \"tessaly\";",
              "        return Platform.isWindows() && !Platform.is64Bit() ? Native.load(name, StdCall.class, options)",
              "                                                           : Native.load(name, TessalyLibrary.class, options);",
              "    }", ""]
    for e in filter(callable_from_ffi, exports):
        arguments = ", ".join(f"{JAVA[w]} {n}" for n, w in e.arguments)
        lines.append(f"    {JAVA_RESULT[e.result]} {e.symbol}({arguments});")
    lines += ["}", ""]
    return "\n".join(lines)


# ---- .NET (C#) ----------------------------------------------------------------------------------

CSHARP = {"int32": "int", "uint32": "uint", "byte": "int", "flag": "int", "text": "string",
          "text-buffer": "StringBuilder", "text-reference": "ref IntPtr", "bytes": "byte[]", "const-bytes": "byte[]",
          "const-memory": "byte[]", "int32-pointer": "ref int", "uint32-pointer": "ref uint", "handle": "IntPtr"}
CSHARP_RESULT = {"none": "void", "int32": "int", "uint32": "uint", "double": "double", "bool8": "byte",
                 "handle": "IntPtr", "text-buffer": "IntPtr"}
CSHARP_KEYWORDS = {"string", "object", "out", "ref", "in", "base", "params", "checked", "fixed", "lock", "event"}


def csharp(exports):
    lines = ["// Every export of the library as a DllImport, generated from its export table: do not edit.",
             "// The entry points are the 32-bit DLL's names, which the 64-bit DLL exports too; on other",
             "// systems Tessaly.dll.config maps the DLL and the names that differ onto libtessaly.so.",
             "// The two Java natives are reached through a JVM instead.",
             "using System;", "using System.Runtime.InteropServices;", "using System.Text;", "",
             "public static class TessalyNative {", '    public const string Library = "TessalyEn_M.dll";', ""]
    for e in filter(callable_from_ffi, exports):
        if not e.names["win32"]:
            continue
        arguments = ", ".join(f"{CSHARP[w]} {n + '_' if n in CSHARP_KEYWORDS else n}" for n, w in e.arguments)
        lines.append(f'    [DllImport(Library, EntryPoint = "{e.names["win32"][0]}", '
                     f"CallingConvention = CallingConvention.StdCall, CharSet = CharSet.Ansi)]")
        lines.append(f"    public static extern {CSHARP_RESULT[e.result]} {e.symbol}({arguments});")
    lines += ["}", ""]
    return "\n".join(lines)


def mono_config(exports):
    lines = ["<!-- Generated from the library's export table: maps TessalyEn_M.dll and the names that differ",
             "     onto libtessaly.so for mono on systems other than Windows. -->", "<configuration>",
             '  <dllmap dll="TessalyEn_M.dll" target="libtessaly.so.6" os="!windows">']
    for e in filter(callable_from_ffi, exports):
        if e.names["win32"] and e.names["linux"] and e.names["win32"][0] != e.names["linux"][0]:
            lines.append(f'    <dllentry dll="libtessaly.so.6" name="{e.names["win32"][0]}" target="{e.names["linux"][0]}"/>')
    lines += ["  </dllmap>", "</configuration>", ""]
    return "\n".join(lines)


def main():
    table, kind, output = sys.argv[1:4]
    exports = exports_table.read(table)
    text = {"vb": visual_basic, "python": python, "java": java, "csharp": csharp, "mono-config": mono_config}[kind](exports)
    Path(output).parent.mkdir(parents=True, exist_ok=True)
    Path(output).write_bytes(text.encode())


if __name__ == "__main__":
    main()
