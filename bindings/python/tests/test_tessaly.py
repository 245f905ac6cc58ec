# The Python binding on the real library: the known answers, a round trip per cipher and
# scrambler, a file's digest, Base64 with padding in the middle, an RSA line with a result
# code, a text helper and the wildcard matcher, and the bytes the C tests expect.
import hashlib
import random

import pytest

import tessaly

KEY8 = bytes.fromhex("0123456789abcdef")
KEY16 = KEY8 + bytes.fromhex("fedcba9876543210")


def test_known_answers():
    assert tessaly.des_encipher(bytes(8), bytes(8)) == bytes.fromhex("28DF3F2247199D37")
    assert tessaly.triple_des_encipher(bytes(8), bytes(16)) == bytes.fromhex("28DF3F2247199D37")
    assert tessaly.blowfish_encipher(bytes(8), b"\0") == bytes.fromhex("01F5D2A3C523D4B7")  # unkeyed
    assert tessaly.aes_encipher(bytes.fromhex("00112233445566778899aabbccddeeff"), bytes(range(16))) == \
        bytes.fromhex("69c4e0d86a7b0430d8cdb78070b4c55a")
    assert tessaly.rsa_encipher(bytes.fromhex("00000041"), 17, 3233) == "2790"
    assert tessaly.rsa_decipher("2790", "2753", "3233") == bytes.fromhex("00000041")
    assert tessaly.md5(b"abc").hex() == "900150983cd24fb0d6963f7d28e17f72"
    assert tessaly.hmac_md5(b"\x0b" * 16, b"Hi There").hex() == "9294727a3638bb1c13f48ef8158bfc9d"
    assert tessaly.xor_chain(bytes([1, 2, 3]), 0) == bytes([1, 3, 0])
    assert tessaly.shift_left(bytes([0x80, 0x01]), 1) == bytes([0x00, 0x03])
    assert tessaly.substitute(b"A z") == b"bz "


CIPHERS = [
    (tessaly.des_encipher, tessaly.des_decipher, KEY8, 8),
    (tessaly.triple_des_encipher, tessaly.triple_des_decipher, KEY16, 8),
    (tessaly.aes_encipher, tessaly.aes_decipher, KEY16 + KEY8, 16),
    (tessaly.blowfish_encipher, tessaly.blowfish_decipher, b"key\0ignored", 8),
]


@pytest.mark.parametrize("encipher,decipher,key,block", CIPHERS, ids=["des", "3des", "aes", "blowfish"])
def test_cipher_round_trips_and_key_sizes(encipher, decipher, key, block):
    data = random.Random(1).randbytes(1000 + 3)
    enciphered = encipher(data, key)
    assert len(enciphered) % block == 0 and enciphered[:block] != data[:block]
    assert decipher(enciphered, key) == data + bytes(-len(data) % block)
    with pytest.raises(tessaly.KeySizeError):
        encipher(data, key + bytes(57))
    with pytest.raises(tessaly.TessalyError):
        decipher(enciphered[:-1], key)


def test_scrambler_round_trips():
    data = random.Random(2).randbytes(999)
    assert tessaly.xor_unchain(tessaly.xor_chain(data, 0x5A), 0x5A) == data
    assert tessaly.shift_right(tessaly.shift_left(data, 203), 203) == data
    assert tessaly.unsubstitute(tessaly.substitute(data)) == data


def test_digest_of_a_file(tmp_path):
    file = tmp_path / "data"
    file.write_bytes(random.Random(3).randbytes(100_000))
    assert tessaly.sha256(file.read_bytes()) == hashlib.sha256(file.read_bytes()).digest()


def test_base64_with_padding_in_the_middle():
    assert tessaly.base64_encode(b"A") == "QQ=="
    assert tessaly.base64_decode("QQ==QUI=QUJD\n") == b"AABABC"  # the newline is a leftover


def test_rsa_line_with_a_result_code():
    with pytest.raises(tessaly.RsaError) as raised:
        tessaly.rsa_encipher(bytes.fromhex("00000041 00000CA1"), 17, 3233)
    assert raised.value.code == 3
    with pytest.raises(tessaly.RsaError) as raised:
        tessaly.rsa_decipher("2790 27x0", 2753, 3233)
    assert raised.value.code == 2


def test_text_helper_and_wildcards():
    assert tessaly.find_text("hello world", "world") == 6 and tessaly.find_text("hello", "x") == -1
    assert tessaly.match_pattern("Report-2026.TXT", "report-*.t?t")
    assert tessaly.match_pattern("a", "[A-Z]") and not tessaly.match_pattern("a", "[a-z]")


def test_raw_exports_and_the_bytes_the_c_tests_expect():
    # The raw export as a host calls it: DES in place, bytes past the length as they stand.
    import ctypes
    buffer = ctypes.create_string_buffer(bytes(8), 8)
    tessaly.raw.DoDES(buffer, 8, bytes(8), 0)
    assert buffer.raw == bytes.fromhex("28DF3F2247199D37")
    assert tessaly.raw.GetDLLVersion() == 602
    # Blowfish with the library's byte order, and AES decipher, as the C suites check them.
    assert tessaly.blowfish_decipher(bytes.fromhex("01F5D2A3C523D4B7"), b"\0") == bytes(8)
    assert tessaly.aes_decipher(bytes.fromhex("69c4e0d86a7b0430d8cdb78070b4c55a"), bytes(range(16))) == \
        bytes.fromhex("00112233445566778899aabbccddeeff")
