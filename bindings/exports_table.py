"""The bindings' reader of src/frame/exports.table, the one table of the library's exports.

Each row: symbol, result word, the names exported on win32, win64 and linux ("=" the symbol
itself, "-" not carried, commas between several), then the arguments as name:word.
"""
from dataclasses import dataclass
from pathlib import Path

TARGETS = ("win32", "win64", "linux")
ARGUMENT_WORDS = {"int32", "uint32", "byte", "flag", "text", "text-buffer", "text-reference", "bytes",
                  "const-bytes", "const-memory", "int32-pointer", "uint32-pointer", "handle", "jni-env", "jni-object"}
RESULT_WORDS = {"none", "int32", "uint32", "double", "handle", "text-buffer", "bool8"}


@dataclass(frozen=True)
class Export:
    symbol: str
    result: str
    names: dict  # target -> the names it exports the symbol under ([] when not carried)
    arguments: tuple  # (name, word) pairs


def read(path):
    exports = []
    for number, line in enumerate(Path(path).read_text().splitlines(), 1):
        fields = line.split()
        if not fields or fields[0].startswith("#"):
            continue
        symbol, result, *columns = fields[:5]
        arguments = tuple(tuple(a.split(":", 1)) for a in fields[5:])
        if result not in RESULT_WORDS or any(w not in ARGUMENT_WORDS for _, w in arguments):
            raise ValueError(f"{path}:{number}: unknown word in {symbol}")
        names = {target: ([] if column == "-" else [symbol if n == "=" else n for n in column.split(",")])
                 for target, column in zip(TARGETS, columns)}
        exports.append(Export(symbol, result, names, arguments))
    return exports
