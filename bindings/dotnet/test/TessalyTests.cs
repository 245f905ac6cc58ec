// The .NET binding on the real library, run by mono: the known answers, a round trip per cipher
// and scrambler, a file's digest, Base64 with padding in the middle, an RSA line with a result
// code, a text helper and the wildcard matcher, and the bytes the C tests expect. Exits 1 when
// a check fails.
using System;
using System.IO;
using System.Linq;
using System.Security.Cryptography;
using System.Text;

static class TessalyTests {
    static int failures = 0;

    static void Check(bool condition, string what) {
        Console.WriteLine((condition ? "ok   " : "FAIL ") + what);
        if (!condition) failures++;
    }

    static bool Same(byte[] a, byte[] b) { return a.SequenceEqual(b); }
    static byte[] Hex(string text) {
        return Enumerable.Range(0, text.Length / 2).Select(i => Convert.ToByte(text.Substring(2 * i, 2), 16)).ToArray();
    }
    static byte[] Ascii(string text) { return Encoding.ASCII.GetBytes(text); }
    static byte[] Random(int size, int seed) {
        var bytes = new byte[size];
        new Random(seed).NextBytes(bytes);
        return bytes;
    }

    static bool Throws<T>(Action action) where T : Exception {
        try { action(); } catch (T) { return true; }
        return false;
    }

    static void RoundTrip(string name, Func<byte[], byte[], byte[]> encipher, Func<byte[], byte[], byte[]> decipher,
                          byte[] key, int block) {
        var data = Random(1003, 1);
        var enciphered = encipher(data, key);
        var padded = new byte[enciphered.Length];
        Array.Copy(data, padded, data.Length);
        Check(enciphered.Length % block == 0 && Same(decipher(enciphered, key), padded), name + " round trip");
        Check(Throws<KeySizeException>(() => encipher(data, new byte[57])), name + " refuses a 57-byte key");
        Check(Throws<TessalyException>(() => decipher(new byte[7], key)), name + " refuses a part block");
    }

    static int Main() {
        Check(Same(Hex("28DF3F2247199D37"), TessalyFormats.DesEncipher(new byte[8], new byte[8])), "DES known answer");
        Check(Same(Hex("28DF3F2247199D37"), TessalyFormats.TripleDesEncipher(new byte[8], new byte[16])), "3DES known answer");
        Check(Same(Hex("01F5D2A3C523D4B7"), TessalyFormats.BlowfishEncipher(new byte[8], new byte[1])), "Blowfish unkeyed");
        Check(Same(Hex("69c4e0d86a7b0430d8cdb78070b4c55a"),
                   TessalyFormats.AesEncipher(Hex("00112233445566778899aabbccddeeff"), Hex("000102030405060708090a0b0c0d0e0f"))),
              "AES FIPS 197 C.1");
        Check(TessalyFormats.RsaEncipher(Hex("00000041"), "17", "3233") == "2790", "RSA 3233/17");
        Check(Same(Hex("00000041"), TessalyFormats.RsaDecipher("2790", "2753", "3233")), "RSA 3233/2753");
        Check(Same(Hex("900150983cd24fb0d6963f7d28e17f72"), TessalyFormats.Md5(Ascii("abc"))), "MD5 abc");
        Check(Same(Hex("9294727a3638bb1c13f48ef8158bfc9d"), TessalyFormats.HmacMd5(Hex("0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b"),
                                                                                     Ascii("Hi There"))), "HMAC-MD5 RFC 2104");
        Check(Same(new byte[] {1, 3, 0}, TessalyFormats.XorChain(new byte[] {1, 2, 3}, 0)), "Exclusive_OR chaining");
        Check(Same(new byte[] {0, 3}, TessalyFormats.ShiftLeft(new byte[] {0x80, 1}, 1)), "Shift_Data towards byte 0");
        Check(Same(Ascii("bz "), TessalyFormats.Substitute(Ascii("A z"))), "Substitution T");

        RoundTrip("DES", TessalyFormats.DesEncipher, TessalyFormats.DesDecipher, Random(8, 2), 8);
        RoundTrip("3DES", TessalyFormats.TripleDesEncipher, TessalyFormats.TripleDesDecipher, Random(16, 3), 8);
        RoundTrip("AES", TessalyFormats.AesEncipher, TessalyFormats.AesDecipher, Random(24, 4), 16);
        RoundTrip("Blowfish", TessalyFormats.BlowfishEncipher, TessalyFormats.BlowfishDecipher, Ascii("key\0ignored"), 8);
        var data = Random(999, 5);
        Check(Same(data, TessalyFormats.XorUnchain(TessalyFormats.XorChain(data, 0x5A), 0x5A)), "Exclusive_OR round trip");
        Check(Same(data, TessalyFormats.ShiftRight(TessalyFormats.ShiftLeft(data, 203), 203)), "Shift_Data round trip");
        Check(Same(data, TessalyFormats.Unsubstitute(TessalyFormats.Substitute(data))), "Substitution round trip");

        var file = Path.GetTempFileName();
        File.WriteAllBytes(file, Random(100000, 6));
        using (var sha = SHA256.Create())
            Check(Same(sha.ComputeHash(File.ReadAllBytes(file)), TessalyFormats.Sha256(File.ReadAllBytes(file))), "SHA-256 of a file");
        File.Delete(file);

        Check(TessalyFormats.Base64Encode(Ascii("A")) == "QQ==", "Base64 encoding pads");
        Check(Same(Ascii("AABABC"), TessalyFormats.Base64Decode("QQ==QUI=QUJD\n")), "Base64 with padding in the middle");

        int code = 0;
        try { TessalyFormats.RsaEncipher(Hex("0000004100000CA1"), "17", "3233"); } catch (RsaException e) { code = e.Code; }
        Check(code == 3, "RSA: a group not below the modulus gives 3");
        try { TessalyFormats.RsaDecipher("2790 27x0", "2753", "3233"); } catch (RsaException e) { code = e.Code; }
        Check(code == 2, "RSA: a malformed token gives 2");

        Check(TessalyFormats.FindText("hello world", "world") == 6 && TessalyFormats.FindText("hello", "x") == -1, "instr_zk");
        Check(TessalyFormats.MatchPattern("Report-2026.TXT", "report-*.t?t") && TessalyFormats.MatchPattern("a", "[A-Z]") &&
              !TessalyFormats.MatchPattern("a", "[a-z]"), "MatchPattern_zk");

        var buffer = new byte[8];
        TessalyNative.DoDES(buffer, 8, new byte[8], 0);
        Check(Same(Hex("28DF3F2247199D37"), buffer), "DoDES raw, as the C tests expect");
        Check(TessalyNative.GetDLLVersion() == 602, "GetDLLVersion");
        Check(TessalyNative.memcmp_zk(Ascii("abc"), Ascii("abd"), 3) < 0, "memcmp_zk through its decorated name");
        var text = new StringBuilder("mixed Case", 32);
        TessalyNative.toupper_zk(text);
        Check(text.ToString() == "MIXED CASE", "toupper_zk on a StringBuilder");

        Console.WriteLine(failures == 0 ? "all checks passed" : failures + " checks failed");
        return failures == 0 ? 0 : 1;
    }
}
