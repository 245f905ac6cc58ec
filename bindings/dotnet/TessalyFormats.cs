// The library's formats over byte arrays and strings, on the generated DllImports: the ciphers,
// digests, Base64, the RSA number lines and the scramblers, as the library's hosts write them.
using System;
using System.Text;

public class TessalyException : Exception {
    public TessalyException(string message) : base(message) {}
}

/// <summary>A key of a size the cipher does not take.</summary>
public class KeySizeException : TessalyException {
    public KeySizeException(string message) : base(message) {}
}

/// <summary>A DoRSA result code: 1 the exponent is zero, 2 a text that is not a decimal number of
/// at most 128 digits, 3 a number not below the modulus.</summary>
public class RsaException : TessalyException {
    public readonly int Code;
    public RsaException(int code)
        : base("DoRSA result " + code + ": " + (code == 1 ? "the exponent is zero"
               : code == 2 ? "a text is not a decimal number of at most 128 digits" : "a number is not below the modulus")) {
        Code = code;
    }
}

public static class TessalyFormats {
    delegate void BlockCall(byte[] buffer, int length, byte[] key, int mode);

    // The buffer holds zeros past the data: a short last block is enciphered padded with them.
    static byte[] Cipher(byte[] data, byte[] key, int block, bool keySizeOk, bool deciphering, BlockCall call) {
        if (!keySizeOk) throw new KeySizeException("a key of " + key.Length + " bytes is not one this cipher takes");
        if (deciphering && data.Length % block != 0)
            throw new TessalyException(data.Length + " bytes are not a whole number of " + block + "-byte blocks");
        if (data.Length == 0) return new byte[0];
        var buffer = new byte[(data.Length + block - 1) / block * block];
        Array.Copy(data, buffer, data.Length);
        call(buffer, data.Length, key, deciphering ? 1 : 0);
        return buffer;
    }

    static bool AesKey(byte[] key) { return key.Length == 16 || key.Length == 24 || key.Length == 32; }
    static bool BlowfishKey(byte[] key) { return key.Length >= 1 && key.Length <= 56; }

    public static byte[] DesEncipher(byte[] data, byte[] key) { return Cipher(data, key, 8, key.Length == 8, false, TessalyNative.DoDES); }
    public static byte[] DesDecipher(byte[] data, byte[] key) { return Cipher(data, key, 8, key.Length == 8, true, TessalyNative.DoDES); }
    public static byte[] TripleDesEncipher(byte[] data, byte[] key) { return Cipher(data, key, 8, key.Length == 16, false, TessalyNative.Do3DES); }
    public static byte[] TripleDesDecipher(byte[] data, byte[] key) { return Cipher(data, key, 8, key.Length == 16, true, TessalyNative.Do3DES); }
    /// <summary>AES-128, -192 or -256 by the key's size.</summary>
    public static byte[] AesEncipher(byte[] data, byte[] key) {
        return Cipher(data, key, 16, AesKey(key), false, (b, n, k, m) => TessalyNative.DoAES(b, n, k, k.Length, m));
    }
    public static byte[] AesDecipher(byte[] data, byte[] key) {
        return Cipher(data, key, 16, AesKey(key), true, (b, n, k, m) => TessalyNative.DoAES(b, n, k, k.Length, m));
    }
    /// <summary>The key (1 to 56 bytes) counts up to its first zero byte.</summary>
    public static byte[] BlowfishEncipher(byte[] data, byte[] key) {
        return Cipher(data, key, 8, BlowfishKey(key), false, (b, n, k, m) => TessalyNative.DoBlowfish(b, n, k, k.Length, m));
    }
    public static byte[] BlowfishDecipher(byte[] data, byte[] key) {
        return Cipher(data, key, 8, BlowfishKey(key), true, (b, n, k, m) => TessalyNative.DoBlowfish(b, n, k, k.Length, m));
    }

    public static byte[] Sha256(byte[] data) {
        var digest = new byte[32];
        TessalyNative.SHA_256(data, (uint) data.Length, digest);
        return digest;
    }
    public static byte[] Md5(byte[] data) {
        var digest = new byte[16];
        TessalyNative.MD5_Ex(data, (uint) data.Length, null, 0, digest);
        return digest;
    }
    public static byte[] HmacMd5(byte[] key, byte[] data) {
        if (key.Length == 0) throw new KeySizeException("HMAC-MD5 needs a key of at least 1 byte");
        var digest = new byte[16];
        TessalyNative.MD5_Ex(data, (uint) data.Length, key, key.Length, digest);
        return digest;
    }

    public static string Base64Encode(byte[] data) {
        if (data.Length == 0) return "";
        var text = new byte[(data.Length + 2) / 3 * 4];
        int count = TessalyNative.DoBASE64(data, data.Length, text, text.Length, 0);
        return Encoding.ASCII.GetString(text, 0, count);
    }
    /// <summary>DoBASE64's rules: groups of four, leftovers ignored, characters outside the alphabet counted.</summary>
    public static byte[] Base64Decode(string text) {
        var characters = Encoding.GetEncoding("iso-8859-1").GetBytes(text);
        if (characters.Length < 4) return new byte[0];
        var bytes = new byte[characters.Length / 4 * 3];
        int count = TessalyNative.DoBASE64(characters, characters.Length, bytes, bytes.Length, 1);
        Array.Resize(ref bytes, count);
        return bytes;
    }

    static byte[] Rsa(byte[] data, string exponent, string modulus, int direction, int room) {
        if (data.Length == 0) return new byte[0];
        var output = new byte[room];
        int length = 0;
        int code = TessalyNative.DoRSA(data, data.Length, output, ref length, exponent, modulus, direction);
        if (code != 0) throw new RsaException(code);
        Array.Resize(ref output, length);
        return output;
    }
    /// <summary>DoRSA's direction 0: each 4-byte group raised to the exponent, the results in decimal.</summary>
    public static string RsaEncipher(byte[] data, string exponent, string modulus) {
        return Encoding.ASCII.GetString(Rsa(data, exponent, modulus, 0, (data.Length + 3) / 4 * 130 + 1));
    }
    /// <summary>DoRSA's other direction: 4 bytes per non-empty token of the line.</summary>
    public static byte[] RsaDecipher(string line, string exponent, string modulus) {
        var text = Encoding.ASCII.GetBytes(line);
        return Rsa(text, exponent, modulus, 1, 4 * (text.Length + 1) + 1);
    }

    static byte[] Scramble(byte[] data, Action<byte[], int> call) {
        var buffer = (byte[]) data.Clone();
        if (buffer.Length > 0) call(buffer, buffer.Length);
        return buffer;
    }
    public static byte[] XorChain(byte[] data, int seed) { return Scramble(data, (b, n) => TessalyNative.Exclusive_OR(b, n, seed, 1)); }
    public static byte[] XorUnchain(byte[] data, int seed) { return Scramble(data, (b, n) => TessalyNative.Exclusive_OR(b, n, seed, 0)); }
    public static byte[] ShiftLeft(byte[] data, int count) { return Scramble(data, (b, n) => TessalyNative.Shift_Data(b, n, count, 0)); }
    public static byte[] ShiftRight(byte[] data, int count) { return Scramble(data, (b, n) => TessalyNative.Shift_Data(b, n, count, 1)); }
    public static byte[] Substitute(byte[] data) { return Scramble(data, (b, n) => TessalyNative.Substitution(b, n, 0)); }
    public static byte[] Unsubstitute(byte[] data) { return Scramble(data, (b, n) => TessalyNative.Substitution(b, n, 1)); }

    /// <summary>MatchPattern_zk: the whole text against *, ? and [classes], letters in either case.</summary>
    public static bool MatchPattern(string text, string pattern) { return TessalyNative.MatchPattern_zk(text, pattern) != 0; }
    /// <summary>instr_zk: the 0-based position of sought in text, or -1.</summary>
    public static int FindText(string text, string sought) { return TessalyNative.instr_zk(text, sought); }
}
