import tessaly
secret = tessaly.aes_encipher(b"attack at dawn", bytes(range(16)))
assert tessaly.aes_decipher(secret, bytes(range(16))).rstrip(b"\0") == b"attack at dawn"
line = tessaly.rsa_encipher(b"\0\0\0A", 17, 3233)
print(tessaly.sha256(b"abc").hex(), tessaly.base64_encode(b"A"), line)
