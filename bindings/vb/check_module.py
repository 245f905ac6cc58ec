#!/usr/bin/env python3
"""Checks a Visual Basic module of Declare statements against the export table and the
32-bit .def, reading all three by itself (not through the generator), since no VB runtime
runs here to find a wrong declaration by crashing.

Usage: check_module.py MODULE.bas EXPORTS.TABLE EXPORTS.DEF
Exit status 0 when every export is declared right in both branches, 1 otherwise (each fault
on its own line).
"""
import re
import sys

DECLARE = re.compile(r'^Public Declare (PtrSafe )?(Sub|Function) (\w+) Lib "TessalyEn_M\.dll"(?: Alias "([^"]+)")? '
                     r'\((.*)\)(?: As (\w+))?$')
ARGUMENT = re.compile(r"^(ByVal|ByRef) (\w+) As (\w+)$")
BY_REFERENCE = {"bytes", "const-bytes", "const-memory", "int32-pointer", "uint32-pointer", "text-reference"}
POINTER_SIZED = {"handle", "jni-env", "jni-object"}


def table_rows(path):
    rows = {}
    for line in open(path):
        fields = line.split()
        if fields and not fields[0].startswith("#"):
            rows[fields[0]] = (fields[1], fields[2], [f.split(":")[1] for f in fields[5:]])
    return rows


def def_names(path):
    """Exported name -> argument bytes, from "Name = Internal@N"."""
    names = {}
    for line in open(path):
        match = re.match(r"^\s+(\S+) = \S+@(\d+)$", line)
        if match:
            names[match.group(1)] = int(match.group(2))
    return names


def branches(path):
    text = open(path, newline="").read()
    if "\r\n" not in text:
        yield None, ["the module does not have Windows line ends"]
    lines = text.replace("\r\n", "\n").split("\n")
    try:
        start, middle, end = lines.index("#If VBA7 Then"), lines.index("#Else"), lines.index("#End If")
    except ValueError:
        yield None, ["no #If VBA7 Then / #Else / #End If"]
        return
    yield True, lines[start + 1:middle]
    yield False, lines[middle + 1:end]


def check(module, table, definitions):
    rows, exported = table_rows(table), def_names(definitions)
    faults = []
    for vba7, lines in branches(module):
        if vba7 is None:
            faults += lines
            continue
        branch = "VBA7" if vba7 else "VB6"
        declared = {}
        for line in lines:
            match = DECLARE.match(line)
            if not match:
                faults.append(f"{branch}: not a Declare of this library: {line}")
                continue
            declared[match.group(3)] = match
        for symbol, (result, win32, words) in rows.items():
            if win32 == "-":
                continue
            match = declared.pop(symbol, None)
            if match is None:
                faults.append(f"{branch}: {symbol} is not declared")
                continue
            ptr_safe, kind, _, alias, argument_text, result_type = match.groups()
            name = alias or symbol
            expected_name = symbol if win32 == "=" else win32.split(",")[0]
            if name != expected_name or name not in exported:
                faults.append(f"{branch}: {symbol} binds to {name}, the 32-bit DLL exports {expected_name}")
            arguments = [a.strip() for a in argument_text.split(",")] if argument_text.strip() else []
            if name in exported and 4 * len(arguments) != exported[name]:
                faults.append(f"{branch}: {symbol} takes {len(arguments)} arguments, {exported[name]} bytes in the .def")
            if bool(ptr_safe) != vba7:
                faults.append(f"{branch}: {symbol} {'lacks' if vba7 else 'has'} PtrSafe")
            if (kind == "Sub") != (result == "none"):
                faults.append(f"{branch}: {symbol} is a {kind}, its result is {result}")
            pointer_result = result in ("handle", "text-buffer")
            if pointer_result and result_type != ("LongPtr" if vba7 else "Long"):
                faults.append(f"{branch}: {symbol} returns {result_type}, a pointer-sized value")
            for argument, word in zip(arguments, words):
                parts = ARGUMENT.match(argument)
                if not parts:
                    faults.append(f"{branch}: {symbol}: cannot read the argument '{argument}'")
                    continue
                passing, _, vb_type = parts.groups()
                if (passing == "ByRef") != (word in BY_REFERENCE):
                    faults.append(f"{branch}: {symbol}: {argument} for a {word}")
                if word in POINTER_SIZED and vb_type != ("LongPtr" if vba7 else "Long"):
                    faults.append(f"{branch}: {symbol}: {argument} for a pointer-sized {word}")
                if not vba7 and vb_type == "LongPtr":
                    faults.append(f"{branch}: {symbol}: VB6 has no LongPtr")
        faults += [f"{branch}: {extra} is not in the export table" for extra in declared]
    return faults


if __name__ == "__main__":
    found = check(*sys.argv[1:4])
    for fault in found:
        print(fault)
    sys.exit(1 if found else 0)
