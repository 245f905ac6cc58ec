"""The data formats of TessalyEn_M.dll from Python: the ciphers, digests, Base64, the RSA number
lines and the byte scramblers, bytes in and bytes out, exactly as the library's hosts write them.

The library is ``TessalyEn_M.dll`` on Windows (32- or 64-bit, as the interpreter) and
``libtessaly.so.6`` elsewhere; ``TESSALY_LIBRARY`` names another file. Every export is also
reachable as it stands through :data:`raw`, for those who port host code.
"""
from __future__ import annotations

import ctypes
import ctypes.util
import os
import struct
import sys
import types

from ._exports import EXPORTS

__all__ = [
    "TessalyError", "KeySizeError", "RsaError", "raw",
    "des_encipher", "des_decipher", "triple_des_encipher", "triple_des_decipher", "aes_encipher", "aes_decipher",
    "blowfish_encipher", "blowfish_decipher", "sha256", "md5", "hmac_md5", "base64_encode", "base64_decode",
    "rsa_encipher", "rsa_decipher", "xor_chain", "xor_unchain", "shift_left", "shift_right", "substitute",
    "unsubstitute", "match_pattern", "find_text",
]


class TessalyError(Exception):
    """Something the library's rules do not accept."""


class KeySizeError(TessalyError, ValueError):
    """A key of a size the cipher does not take."""


class RsaError(TessalyError):
    """A DoRSA result code: 1 the exponent is zero, 2 a text is not a decimal number of at most
    128 digits, 3 a number is not below the modulus."""

    CAUSES = {1: "the exponent is zero", 2: "a text is not a decimal number of at most 128 digits",
              3: "a number is not below the modulus"}

    def __init__(self, code: int):
        super().__init__(f"DoRSA result {code}: {self.CAUSES.get(code, 'unknown')}")
        self.code = code


def _load() -> types.SimpleNamespace:
    windows = sys.platform == "win32"
    wide = struct.calcsize("P") == 8
    target = ("win64" if wide else "win32") if windows else "linux"
    name = os.environ.get("TESSALY_LIBRARY") or (
        "TessalyEn_M.dll" if windows else ctypes.util.find_library("tessaly") or "libtessaly.so.6")
    library = (ctypes.WinDLL if windows and not wide else ctypes.CDLL)(name)  # stdcall on 32-bit Windows
    exports = types.SimpleNamespace()
    for symbol, (result, arguments, names) in EXPORTS.items():
        if names[target]:
            function = library[names[target][0]]
            function.restype, function.argtypes = result, arguments
            setattr(exports, symbol, function)
    return exports


raw = _load()
"""Every export this platform's library has, by its C name, with its ctypes prototype."""

_TEXT_ENCODING = "mbcs" if sys.platform == "win32" else "utf-8"


def _text(value: str | bytes) -> bytes:
    return value if isinstance(value, bytes) else value.encode(_TEXT_ENCODING)


# ---- ciphers -----------------------------------------------------------------------------------

def _cipher(export, data: bytes, key: bytes, block: int, sizes, deciphering: bool, key_length: bool) -> bytes:
    key = bytes(key)
    if len(key) not in sizes:
        raise KeySizeError(f"a key of {len(key)} bytes; this cipher takes {sizes_text(sizes)}")
    if deciphering and len(data) % block:
        raise TessalyError(f"{len(data)} bytes are not a whole number of {block}-byte blocks")
    if not data:
        return b""
    # The buffer holds zeros past the data: a short last block is enciphered padded with them.
    buffer = ctypes.create_string_buffer(bytes(data) + bytes(-len(data) % block), len(data) + (-len(data) % block))
    mode = 1 if deciphering else 0
    if key_length:
        export(buffer, len(data), key, len(key), mode)
    else:
        export(buffer, len(data), key, mode)
    return buffer.raw


def sizes_text(sizes) -> str:
    sizes = sorted(sizes)
    if len(sizes) > 3:
        return f"{sizes[0]} to {sizes[-1]} bytes"
    return " or ".join(str(s) for s in sizes) + " bytes"


_BLOWFISH_SIZES = range(1, 57)


def des_encipher(data: bytes, key: bytes) -> bytes:
    """DoDES with the library's P: data rounded up to 8-byte blocks, a short last one padded with zeros."""
    return _cipher(raw.DoDES, data, key, 8, (8,), False, False)


def des_decipher(data: bytes, key: bytes) -> bytes:
    """The inverse of :func:`des_encipher`; data is whole blocks, and every deciphered byte comes back."""
    return _cipher(raw.DoDES, data, key, 8, (8,), True, False)


def triple_des_encipher(data: bytes, key: bytes) -> bytes:
    """Do3DES: two-key triple DES with a 16-byte key."""
    return _cipher(raw.Do3DES, data, key, 8, (16,), False, False)


def triple_des_decipher(data: bytes, key: bytes) -> bytes:
    return _cipher(raw.Do3DES, data, key, 8, (16,), True, False)


def aes_encipher(data: bytes, key: bytes) -> bytes:
    """DoAES: AES-128, -192 or -256 by the key's size (16, 24 or 32 bytes), 16-byte blocks."""
    return _cipher(raw.DoAES, data, key, 16, (16, 24, 32), False, True)


def aes_decipher(data: bytes, key: bytes) -> bytes:
    return _cipher(raw.DoAES, data, key, 16, (16, 24, 32), True, True)


def blowfish_encipher(data: bytes, key: bytes) -> bytes:
    """DoBlowfish in the library's byte order; the key (1 to 56 bytes) counts up to its first zero byte."""
    return _cipher(raw.DoBlowfish, data, key, 8, _BLOWFISH_SIZES, False, True)


def blowfish_decipher(data: bytes, key: bytes) -> bytes:
    return _cipher(raw.DoBlowfish, data, key, 8, _BLOWFISH_SIZES, True, True)


# ---- digests -------------------------------------------------------------------------------------

def sha256(data: bytes) -> bytes:
    """SHA_256: the 32-byte digest."""
    out = ctypes.create_string_buffer(32)
    raw.SHA_256(bytes(data), len(data), out)
    return out.raw


def md5(data: bytes) -> bytes:
    """MD5_Ex without a key: the 16-byte MD5 digest."""
    out = ctypes.create_string_buffer(16)
    raw.MD5_Ex(bytes(data), len(data), None, 0, out)
    return out.raw


def hmac_md5(key: bytes, data: bytes) -> bytes:
    """MD5_Ex with a key of at least one byte: HMAC-MD5."""
    if not key:
        raise KeySizeError("HMAC-MD5 needs a key of at least 1 byte (MD5_Ex without one is plain MD5)")
    out = ctypes.create_string_buffer(16)
    raw.MD5_Ex(bytes(data), len(data), bytes(key), len(key), out)
    return out.raw


# ---- Base64 --------------------------------------------------------------------------------------

def base64_encode(data: bytes) -> str:
    """DoBASE64's text for data: RFC 4648 with padding, no line breaks."""
    if not data:
        return ""
    out = ctypes.create_string_buffer((len(data) + 2) // 3 * 4)
    count = raw.DoBASE64(bytes(data), len(data), out, len(out), 0)
    return out.raw[:count].decode("ascii")


def base64_decode(text: str | bytes) -> bytes:
    """DoBASE64's decoding, rules and all: groups of four, one to three characters left over ignored,
    characters outside the alphabet counted, padding anywhere."""
    text = _text(text)
    if len(text) < 4:
        return b""
    out = ctypes.create_string_buffer(len(text) // 4 * 3)
    count = raw.DoBASE64(text, len(text), out, len(out), 1)
    return out.raw[:count]


# ---- RSA number lines ------------------------------------------------------------------------------

def _rsa(data: bytes, exponent, modulus, direction: int, room: int) -> bytes:
    if not data:
        return b""
    out = ctypes.create_string_buffer(room)
    length = ctypes.c_int32(0)
    code = raw.DoRSA(bytes(data), len(data), out, ctypes.byref(length), _text(str(exponent)), _text(str(modulus)),
                     direction)
    if code:
        raise RsaError(code)
    return out.raw[:length.value]


def rsa_encipher(data: bytes, exponent: int | str, modulus: int | str) -> str:
    """DoRSA's direction 0: each 4-byte group (the last completed with zeros) raised to the
    exponent, the results in decimal separated by single spaces."""
    return _rsa(data, exponent, modulus, 0, (len(data) + 3) // 4 * 130 + 1).decode("ascii")


def rsa_decipher(line: str | bytes, exponent: int | str, modulus: int | str) -> bytes:
    """DoRSA's other direction: 4 bytes, most significant first, per non-empty token."""
    line = _text(line)
    return _rsa(line, exponent, modulus, 1, 4 * (len(line) + 1) + 1)


# ---- scramblers ------------------------------------------------------------------------------------

def _scramble(data: bytes, call) -> bytes:
    buffer = ctypes.create_string_buffer(bytes(data), len(data))
    if data:
        call(buffer, len(data))
    return buffer.raw


def xor_chain(data: bytes, seed: int) -> bytes:
    """Exclusive_OR, chaining: each byte XOR the previous output byte, the seed before the first."""
    return _scramble(data, lambda b, n: raw.Exclusive_OR(b, n, seed, 1))


def xor_unchain(data: bytes, seed: int) -> bytes:
    """Exclusive_OR, direction 0: each byte XOR the previous input byte; undoes :func:`xor_chain`."""
    return _scramble(data, lambda b, n: raw.Exclusive_OR(b, n, seed, 0))


def shift_left(data: bytes, count: int) -> bytes:
    """Shift_Data, direction 0: the bytes rotated as one bit string by count (0 to 255) towards byte 0."""
    return _scramble(data, lambda b, n: raw.Shift_Data(b, n, count, 0))


def shift_right(data: bytes, count: int) -> bytes:
    return _scramble(data, lambda b, n: raw.Shift_Data(b, n, count, 1))


def substitute(data: bytes) -> bytes:
    """Substitution, direction 0: every byte through the table T."""
    return _scramble(data, lambda b, n: raw.Substitution(b, n, 0))


def unsubstitute(data: bytes) -> bytes:
    """Substitution through U, the inverse of T."""
    return _scramble(data, lambda b, n: raw.Substitution(b, n, 1))


# ---- text helpers -----------------------------------------------------------------------------------

def match_pattern(text: str | bytes, pattern: str | bytes) -> bool:
    """MatchPattern_zk: the library's wildcards (*, ?, [classes]) over the whole text, letters in either case."""
    return raw.MatchPattern_zk(_text(text), _text(pattern)) != 0


def find_text(text: str | bytes, sought: str | bytes) -> int:
    """instr_zk: the 0-based position of sought in text, or -1."""
    return raw.instr_zk(_text(text), _text(sought))
