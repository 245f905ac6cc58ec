# The tool as a user runs it: files and pipes, every command, every exit status, and the same
# bytes as the library's exports on the same files.
import hashlib
import os
import random
import subprocess
import time

import pytest

KEY8 = "0123456789abcdef"
KEY16 = KEY8 + "fedcba9876543210"
KEY24 = KEY16 + "00112233445566ff"
KEY32 = KEY24 + "8899aabbccddeeff"
BLOWFISH_KEY = "6b6579006e6f74"  # "key", a zero byte, then bytes the cipher never uses
# A 64-bit key: every 4-byte group lies below the modulus.
RSA_PUBLIC = ["--exponent", "65537", "--modulus", "18446743979220271189"]
RSA_PRIVATE = ["--exponent", "9331878932546167513", "--modulus", "18446743979220271189"]
CHUNK = 1 << 20


def data(size, seed=1):
    return random.Random(seed * 7919 + size).randbytes(size)


def run_ok(tool, *args, input=b""):
    return tool(*args, input=input, check=True).stdout


# ---- known answers --------------------------------------------------------------------------

KNOWN_ANSWERS = [
    # DES with the library's P, and triple DES with the all-zero key, on eight zero bytes.
    (["des", "-e", "--key-hex", "00" * 8], bytes(8), bytes.fromhex("28DF3F2247199D37")),
    (["3des", "-e", "--key-hex", "00" * 16], bytes(8), bytes.fromhex("28DF3F2247199D37")),
    # Blowfish in the library's byte order: a key whose first byte is zero leaves it unkeyed.
    (["blowfish", "-e", "--key-hex", "00"], bytes(8), bytes.fromhex("01F5D2A3C523D4B7")),
    # Only the key's bytes before its first zero byte count.
    (["blowfish", "-e", "--key-hex", "6b6579"], b"zero-pad", ["blowfish", "-e", "--key-hex", BLOWFISH_KEY]),
    # FIPS 197, appendix C.1; and a short input padded with zero bytes to the block.
    (["aes", "-e", "--key-hex", "000102030405060708090a0b0c0d0e0f"],
     bytes.fromhex("00112233445566778899aabbccddeeff"), bytes.fromhex("69c4e0d86a7b0430d8cdb78070b4c55a")),
    (["rsa", "-e", "--exponent", "17", "--modulus", "3233"], bytes.fromhex("00000041"), b"2790\n"),
    (["rsa", "-d", "--exponent", "2753", "--modulus", "3233"], b"2790\n", bytes.fromhex("00000041")),
    (["rsa", "-d", "--exponent", "0017", "--modulus", "003233"], b"2790",
     ["rsa", "-d", "--exponent", "17", "--modulus", "3233"]),
    # An empty token yields nothing; two spaces make three tokens, one of them empty.
    (["rsa", "-d", "--exponent", "2753", "--modulus", "3233"], b"2790  2790", bytes.fromhex("00000041") * 2),
    (["base64"], b"A", b"QQ==\n"),
    (["base64", "-n"], b"ABCD", b"QUJDRA=="),
    # DoBASE64's decoding: leftover characters ignored, a padded group does not end the text.
    (["base64", "-d"], b"QQ==QUI=QUJD\n", b"AABABC"),
    # A line break is a character outside the alphabet, and shifts the groups behind it.
    (["base64", "-d"], b"QUJD\nQUJD", b"ABC\xfd\x05"),
    (["sha256"], b"abc", b"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad  -\n"),
    (["md5"], b"abc", b"900150983cd24fb0d6963f7d28e17f72  -\n"),
    (["hmac-md5", "--key-hex", "0b" * 16], b"Hi There", b"9294727a3638bb1c13f48ef8158bfc9d  -\n"),
    (["xor", "-e", "--seed", "0"], bytes([1, 2, 3]), bytes([1, 3, 0])),
    (["xor", "-d", "--seed", "0"], bytes([1, 3, 0]), bytes([1, 2, 3])),
    (["shift", "--left", "--count", "1"], bytes([0x80, 0x01]), bytes([0x00, 0x03])),
    (["shift", "--right", "--count", "1"], bytes([0x00, 0x03]), bytes([0x80, 0x01])),
    (["subst", "-e"], b"A z", b"bz "),
    (["subst", "-d"], b"b", b"A"),
]


@pytest.mark.parametrize("args,given,expected", KNOWN_ANSWERS, ids=[" ".join(c[0]) for c in KNOWN_ANSWERS])
def test_known_answers(tool, args, given, expected):
    if isinstance(expected, list):  # what the tool writes with these other arguments
        expected = run_ok(tool, *expected, input=given)
    assert run_ok(tool, *args, input=given) == expected


# ---- round trips ------------------------------------------------------------------------------

ROUND_TRIPS = [
    (["des", "-e", "--key-hex", KEY8], ["des", "-d", "--key-hex", KEY8], 8),
    (["3des", "-e", "--key-hex", KEY16], ["3des", "-d", "--key-hex", KEY16], 8),
    (["aes", "-e", "--key-hex", KEY16], ["aes", "-d", "--key-hex", KEY16], 16),
    (["aes", "-e", "--key-hex", KEY24], ["aes", "-d", "--key-hex", KEY24], 16),
    (["aes", "-e", "--key-hex", KEY32], ["aes", "-d", "--key-hex", KEY32], 16),
    (["blowfish", "-e", "--key-hex", BLOWFISH_KEY], ["blowfish", "-d", "--key-hex", BLOWFISH_KEY], 8),
    (["base64"], ["base64", "-d", "--strict"], 1),
    (["rsa", "-e"] + RSA_PUBLIC, ["rsa", "-d"] + RSA_PRIVATE, 4),
    (["xor", "-e", "--seed", "77"], ["xor", "-d", "--seed", "77"], 1),
    (["shift", "--left", "--count", "203"], ["shift", "--right", "--count", "203"], 1),
    (["subst", "-e"], ["subst", "-d"], 1),
]


@pytest.mark.parametrize("size", [0, 1, 17, 1000, CHUNK + 37])
@pytest.mark.parametrize("forward,back,unit", ROUND_TRIPS, ids=[c[0][0] + " " + c[0][-1] for c in ROUND_TRIPS])
def test_round_trips_through_files_and_pipes(tool, tmp_path, forward, back, unit, size):
    if forward[0] == "rsa" and size > 1000:
        size = 4001  # a line of 1,000 numbers crosses no chunk, but costs little
    original = data(size)
    source, middle = tmp_path / "in", tmp_path / "middle"
    source.write_bytes(original)
    run_ok(tool, *forward, "-o", middle, source)  # a file in, a file out
    restored = run_ok(tool, *back, input=middle.read_bytes())  # a pipe in and out
    # What was padded to whole blocks (or groups) comes back with its zero bytes.
    padded = original + bytes(-len(original) % unit)
    assert restored == padded
    if unit > 1 and forward[0] != "rsa":  # a host keeps the length beside the data
        assert run_ok(tool, *back, "--length", len(original), middle) == original


# ---- agreement with the library's exports ------------------------------------------------------

AGREEMENT = [
    (["des", "-e", "--key-hex", KEY8], ["DoDES", KEY8, 0], 1),
    (["des", "-d", "--key-hex", KEY8], ["DoDES", KEY8, 1], 8),
    (["3des", "-e", "--key-hex", KEY16], ["Do3DES", KEY16, 2], 1),
    (["3des", "-d", "--key-hex", KEY16], ["Do3DES", KEY16, 1], 8),
    (["aes", "-e", "--key-hex", KEY16], ["DoAES", KEY16, 0], 1),
    (["aes", "-e", "--key-hex", KEY24], ["DoAES", KEY24, 0], 1),
    (["aes", "-d", "--key-hex", KEY32], ["DoAES", KEY32, -1], 16),
    (["blowfish", "-e", "--key-hex", BLOWFISH_KEY], ["DoBlowfish", BLOWFISH_KEY, 0], 1),
    (["blowfish", "-d", "--key-hex", KEY32], ["DoBlowfish", KEY32, 1], 8),
    (["sha256", "--raw"], ["SHA_256"], 1),
    (["md5", "--raw"], ["MD5_Ex"], 1),
    (["hmac-md5", "--raw", "--key-hex", KEY32 * 3], ["MD5_Ex", KEY32 * 3], 1),
    (["base64", "-n"], ["DoBASE64", 0], 1),
    (["base64", "-d"], ["DoBASE64", 1], 1),  # random bytes: every character rule at once
    (["rsa", "-e"] + RSA_PUBLIC, ["DoRSA", RSA_PUBLIC[1], RSA_PUBLIC[3], 0], 1),
    (["xor", "-e", "--seed", "200"], ["Exclusive_OR", 200, 1], 1),
    (["xor", "-d", "--seed", "200"], ["Exclusive_OR", 200, 0], 1),
    (["shift", "--left", "--count", "77"], ["Shift_Data", 77, 0], 1),
    (["shift", "--right", "--count", "77"], ["Shift_Data", 77, 1], 1),
    (["subst", "-e"], ["Substitution", 0], 1),
    (["subst", "-d"], ["Substitution", 1], 1),
]


@pytest.mark.parametrize("size", [13, CHUNK + 13])
@pytest.mark.parametrize("args,export,unit", AGREEMENT, ids=[" ".join(str(a) for a in c[1]) for c in AGREEMENT])
def test_tool_writes_what_the_export_writes(tool, export_host, tmp_path, args, export, unit, size):
    if args[0] == "rsa" and size > CHUNK:
        size = 3 * CHUNK // 16 + 1  # many groups across a chunk, at a cost a test can bear
    given = tmp_path / "given"
    given.write_bytes(data(size - size % unit, seed=3))
    expected = tmp_path / "expected"
    export_host(export[0], given, expected, *export[1:], check=True)
    ours = run_ok(tool, *args, given)
    if args[0] == "rsa":
        ours = ours.removesuffix(b"\n")
    assert ours == expected.read_bytes()


def test_rsa_lines_turn_back_as_the_export_turns_them(tool, export_host, tmp_path):
    line = tmp_path / "line"
    line.write_bytes(run_ok(tool, "rsa", "-e", *RSA_PUBLIC, input=data(CHUNK // 8)).removesuffix(b"\n"))
    expected = tmp_path / "expected"
    export_host("DoRSA", line, expected, RSA_PRIVATE[1], RSA_PRIVATE[3], 1, check=True)
    assert run_ok(tool, "rsa", "-d", *RSA_PRIVATE, line) == expected.read_bytes() == data(CHUNK // 8)


# ---- exit statuses and messages ------------------------------------------------------------------

FAILURES = [
    (["frobnicate"], b"", 2, "unknown command"),
    ([], b"", 2, "no command given"),
    (["aes", "-e", "--key-hex", KEY16, "--frobnicate"], b"", 2, "frobnicate"),
    (["aes", "-e"], b"", 2, "--key-hex"),
    (["aes", "--key-hex", KEY16], b"", 2, "-e"),
    (["aes", "-e", "--key-hex", "00112233445566778899aabbccddeeXX"], b"", 2, "hexadecimal"),
    (["aes", "-e", "--key-hex", "001"], b"", 2, "even number"),
    (["aes", "-e", "--key-hex", KEY8 + "0102"], b"", 2, "16, 24 or 32 bytes; this one has 10 bytes"),
    (["des", "-e", "--key-hex", KEY16], b"", 2, "8 bytes; this one has 16"),
    (["blowfish", "-e", "--key-hex", "00" * 57], b"", 2, "1 to 56 bytes"),
    (["hmac-md5", "--key-hex", ""], b"", 2, "at least 1 byte"),
    (["aes", "-e", "--key-hex", KEY16, "--length", "3"], b"", 2, "--length goes with -d"),
    (["aes", "-d", "--key-hex", KEY16, "--length", "-3"], bytes(16), 2, "decimal number"),
    (["xor", "-e", "--seed", "0x10"], b"", 2, "decimal number"),
    (["shift", "--left", "--count", "256"], b"", 2, "0 to 255"),
    (["rsa", "-e", "--exponent", "17", "--modulus", "32a"], b"", 2, "--modulus takes"),
    (["rsa", "-e", "--exponent", "1" * 129, "--modulus", "3233"], b"", 2, "--exponent takes"),
    (["sha256", "--raw", "-", "-"], b"", 2, "one input"),
    (["base64", "--strict"], b"", 2, "--strict"),
    (["aes", "-d", "--key-hex", KEY16], bytes(17), 1, "not a whole number of 16-byte blocks"),
    (["des", "-d", "--key-hex", KEY8, "--length", "9"], bytes(8), 1, "--length 9 is more than the 8 bytes"),
    (["base64", "-d", "--strict"], b"QQ=A", 1, "offset 3"),
    (["base64", "-d", "--strict"], b"QR==", 1, "offset 1"),  # the padding drops bits that are not zero
    (["base64", "-d", "--strict"], b"QUJD\nQUJD", 1, "offset 4"),
    (["base64", "-d", "--strict"], b"QUJDQQ", 1, "offset 6"),
    (["base64", "-d", "--strict"], b"QU JD", 1, "offset 2"),
    (["rsa", "-e", "--exponent", "17", "--modulus", "3233"], bytes.fromhex("00000041 00000CA1"), 1,
     "group 1 (bytes from offset 4): it is not below the modulus"),
    (["rsa", "-e", "--exponent", "0", "--modulus", "3233"], bytes(4), 1, "the exponent is zero"),
    (["rsa", "-e", "--exponent", "17", "--modulus", "0"], bytes(4), 1, "not below the modulus"),
    (["rsa", "-d", "--exponent", "2753", "--modulus", "3233"], b"2790 27x0", 1,
     "token 1 (at offset 5): it is not a decimal number"),
    (["rsa", "-d", "--exponent", "2753", "--modulus", "3233"], b"2790\n\n", 1, "token 0"),
    (["sha256", "/nonexistent/file"], b"", 3, "cannot read /nonexistent/file"),
    (["aes", "-e", "--key-file", "/nonexistent/key"], b"", 3, "cannot read the key file"),
    (["subst", "-e", "-o", "/nonexistent/folder/out"], b"x", 3, "cannot write"),
]


@pytest.mark.parametrize("args,given,status,message", FAILURES, ids=[" ".join(c[0]) or "(none)" for c in FAILURES])
def test_exit_status_and_message(tool, args, given, status, message):
    result = tool(*args, input=given)
    err = result.stderr.decode(errors="replace")
    assert result.returncode == status, err
    assert err.startswith("tessaly: ") and message in err, err
    keys = [args[i + 1] for i, a in enumerate(args[:-1]) if a == "--key-hex" and len(args[i + 1]) >= 4]
    assert not any(key.lower() in err.lower() for key in keys), err


def test_help_for_every_command_and_the_version(tool):
    commands = ["des", "3des", "aes", "blowfish", "sha256", "md5", "hmac-md5", "base64", "rsa", "xor", "shift", "subst"]
    for command in commands:
        result = tool(command, "--help")
        assert result.returncode == 0 and f"Usage: tessaly {command}" in result.stdout.decode(), command
    listing = run_ok(tool, "--help").decode()
    assert all(command in listing for command in commands)
    version = run_ok(tool, "--version").decode()
    assert "library version 602" in version and "fast paths: aes " in version


# ---- files --------------------------------------------------------------------------------------

def test_a_failed_run_leaves_no_file_and_the_old_one_whole(tool, tmp_path):
    target = tmp_path / "out"
    # From a pipe the size is not known before the end: output has begun when the run fails.
    result = tool("aes", "-d", "--key-hex", KEY16, "-o", target, input=bytes(3 * CHUNK + 5))
    assert result.returncode == 1
    assert list(tmp_path.iterdir()) == []
    target.write_bytes(b"kept")
    assert tool("rsa", "-d", *RSA_PRIVATE, "-o", target, input=b"1 2 x").returncode == 1
    assert target.read_bytes() == b"kept" and list(tmp_path.iterdir()) == [target]
    run_ok(tool, "subst", "-e", "-o", target, target)  # in place: read whole before the rename
    assert target.read_bytes() == b"kept".translate(bytes(SUBST_T))


SUBST_T = list(range(256))
for _i in range(32, 123):
    SUBST_T[_i] = 154 - _i
for _a, _b in [(56, 65), (3, 30), (10, 123), (29, 31), (17, 71)]:
    SUBST_T[_a], SUBST_T[_b] = SUBST_T[_b], SUBST_T[_a]


def test_digests_name_each_input(tool, tmp_path):
    first, second = tmp_path / "first", tmp_path / "second"
    first.write_bytes(b"abc")
    second.write_bytes(b"")
    lines = run_ok(tool, "md5", first, "-", second, input=b"abc").decode().splitlines()
    assert lines == [f"900150983cd24fb0d6963f7d28e17f72  {first}", "900150983cd24fb0d6963f7d28e17f72  -",
                     f"d41d8cd98f00b204e9800998ecf8427e  {second}"]
    assert run_ok(tool, "sha256", "--raw", input=b"abc") == hashlib.sha256(b"abc").digest()


def test_progress_is_shown_when_asked_and_never_when_quiet(tool):
    shown = tool("subst", "-e", "--progress", input=bytes(CHUNK))
    assert shown.returncode == 0 and "1.0 MiB" in shown.stderr.decode() and "/s" in shown.stderr.decode()
    assert tool("subst", "-e", "--quiet", input=bytes(CHUNK)).stderr == b""


# ---- a gigabyte in constant memory ----------------------------------------------------------------

@pytest.mark.heavy
def test_a_gigabyte_streams_through_aes_in_constant_memory(tool_command):
    size = 1 << 30
    source = subprocess.Popen(["head", "-c", str(size), "/dev/zero"], stdout=subprocess.PIPE)
    start = time.monotonic()
    encipher = subprocess.Popen(tool_command + ["aes", "-e", "--key-hex", KEY16], stdin=source.stdout,
                                stdout=subprocess.PIPE)
    decipher = subprocess.Popen(tool_command + ["aes", "-d", "--key-hex", KEY16], stdin=encipher.stdout,
                                stdout=subprocess.PIPE)
    source.stdout.close()
    encipher.stdout.close()
    # The high-water mark of each tool's own memory (reset by exec, unlike the rusage of a
    # child forked from this interpreter), read while it runs.
    peaks = {"encipher": 0, "decipher": 0}

    def sample():
        for name, process in (("encipher", encipher), ("decipher", decipher)):
            try:
                with open(f"/proc/{process.pid}/status") as status:
                    for line in status:
                        if line.startswith("VmHWM:"):
                            peaks[name] = max(peaks[name], int(line.split()[1]))  # KiB
            except OSError:
                pass

    digest, total, pieces = hashlib.sha256(), 0, 0
    zeros = bytes(CHUNK)
    while piece := decipher.stdout.read(CHUNK):
        total += len(piece)
        digest.update(piece)
        pieces += 1
        if pieces % 16 == 0:
            sample()
    for process in (encipher, decipher):
        assert process.wait() == 0
    source.wait()
    seconds = time.monotonic() - start
    expected = hashlib.sha256()
    for _ in range(size // CHUNK):
        expected.update(zeros)
    assert total == size and digest.digest() == expected.digest()
    print(f"\n1 GiB through aes -e | aes -d in {seconds:.1f} s; peak resident: "
          f"{peaks['encipher'] / 1024:.1f} MiB and {peaks['decipher'] / 1024:.1f} MiB")
    assert max(peaks.values()) < 32 * 1024
