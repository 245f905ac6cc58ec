// The library's formats over byte arrays and Strings, on the generated JNA interface: the
// ciphers, digests, Base64, the RSA number lines and the scramblers, as the library's hosts
// write them.
import com.sun.jna.ptr.IntByReference;
import java.nio.charset.StandardCharsets;
import java.util.Arrays;

public final class TessalyFormats {
    private TessalyFormats() {}

    /** Something the library's rules do not accept. */
    public static class TessalyException extends RuntimeException {
        public TessalyException(String message) { super(message); }
    }

    /** A key of a size the cipher does not take. */
    public static final class KeySizeException extends TessalyException {
        public KeySizeException(String message) { super(message); }
    }

    /** A DoRSA result code: 1 the exponent is zero, 2 a text that is not a decimal number of at most
        128 digits, 3 a number not below the modulus. */
    public static final class RsaException extends TessalyException {
        public final int code;
        public RsaException(int code) {
            super("DoRSA result " + code + ": " + (code == 1 ? "the exponent is zero"
                  : code == 2 ? "a text is not a decimal number of at most 128 digits" : "a number is not below the modulus"));
            this.code = code;
        }
    }

    /** Every export as it stands, for code ported from a host. */
    public static final TessalyLibrary RAW = TessalyLibrary.load();

    private interface BlockCall { void run(byte[] buffer, int length, byte[] key, int mode); }

    // The buffer holds zeros past the data: a short last block is enciphered padded with them.
    private static byte[] cipher(byte[] data, byte[] key, int block, boolean keySizeOk, boolean deciphering,
                                 BlockCall call) {
        if (!keySizeOk) throw new KeySizeException("a key of " + key.length + " bytes is not one this cipher takes");
        if (deciphering && data.length % block != 0)
            throw new TessalyException(data.length + " bytes are not a whole number of " + block + "-byte blocks");
        if (data.length == 0) return new byte[0];
        byte[] buffer = Arrays.copyOf(data, (data.length + block - 1) / block * block);
        call.run(buffer, data.length, key, deciphering ? 1 : 0);
        return buffer;
    }

    public static byte[] desEncipher(byte[] data, byte[] key) {
        return cipher(data, key, 8, key.length == 8, false, (b, n, k, m) -> RAW.DoDES(b, n, k, m));
    }
    public static byte[] desDecipher(byte[] data, byte[] key) {
        return cipher(data, key, 8, key.length == 8, true, (b, n, k, m) -> RAW.DoDES(b, n, k, m));
    }
    public static byte[] tripleDesEncipher(byte[] data, byte[] key) {
        return cipher(data, key, 8, key.length == 16, false, (b, n, k, m) -> RAW.Do3DES(b, n, k, m));
    }
    public static byte[] tripleDesDecipher(byte[] data, byte[] key) {
        return cipher(data, key, 8, key.length == 16, true, (b, n, k, m) -> RAW.Do3DES(b, n, k, m));
    }
    private static boolean aesKey(byte[] key) { return key.length == 16 || key.length == 24 || key.length == 32; }
    /** AES-128, -192 or -256 by the key's size. */
    public static byte[] aesEncipher(byte[] data, byte[] key) {
        return cipher(data, key, 16, aesKey(key), false, (b, n, k, m) -> RAW.DoAES(b, n, k, k.length, m));
    }
    public static byte[] aesDecipher(byte[] data, byte[] key) {
        return cipher(data, key, 16, aesKey(key), true, (b, n, k, m) -> RAW.DoAES(b, n, k, k.length, m));
    }
    /** The key (1 to 56 bytes) counts up to its first zero byte. */
    public static byte[] blowfishEncipher(byte[] data, byte[] key) {
        return cipher(data, key, 8, key.length >= 1 && key.length <= 56, false,
                      (b, n, k, m) -> RAW.DoBlowfish(b, n, k, k.length, m));
    }
    public static byte[] blowfishDecipher(byte[] data, byte[] key) {
        return cipher(data, key, 8, key.length >= 1 && key.length <= 56, true,
                      (b, n, k, m) -> RAW.DoBlowfish(b, n, k, k.length, m));
    }

    public static byte[] sha256(byte[] data) {
        byte[] digest = new byte[32];
        RAW.SHA_256(data, data.length, digest);
        return digest;
    }
    public static byte[] md5(byte[] data) {
        byte[] digest = new byte[16];
        RAW.MD5_Ex(data, data.length, null, 0, digest);
        return digest;
    }
    public static byte[] hmacMd5(byte[] key, byte[] data) {
        if (key.length == 0) throw new KeySizeException("HMAC-MD5 needs a key of at least 1 byte");
        byte[] digest = new byte[16];
        RAW.MD5_Ex(data, data.length, key, key.length, digest);
        return digest;
    }

    public static String base64Encode(byte[] data) {
        if (data.length == 0) return "";
        byte[] text = new byte[(data.length + 2) / 3 * 4];
        int count = RAW.DoBASE64(data, data.length, text, text.length, 0);
        return new String(text, 0, count, StandardCharsets.US_ASCII);
    }
    /** DoBASE64's rules: groups of four, leftovers ignored, characters outside the alphabet counted. */
    public static byte[] base64Decode(String text) {
        byte[] characters = text.getBytes(StandardCharsets.ISO_8859_1);
        if (characters.length < 4) return new byte[0];
        byte[] bytes = new byte[characters.length / 4 * 3];
        return Arrays.copyOf(bytes, RAW.DoBASE64(characters, characters.length, bytes, bytes.length, 1));
    }

    private static byte[] rsa(byte[] data, String exponent, String modulus, int direction, int room) {
        if (data.length == 0) return new byte[0];
        byte[] out = new byte[room];
        IntByReference length = new IntByReference();
        int code = RAW.DoRSA(data, data.length, out, length, exponent, modulus, direction);
        if (code != 0) throw new RsaException(code);
        return Arrays.copyOf(out, length.getValue());
    }
    /** DoRSA's direction 0: each 4-byte group raised to the exponent, the results in decimal. */
    public static String rsaEncipher(byte[] data, String exponent, String modulus) {
        return new String(rsa(data, exponent, modulus, 0, (data.length + 3) / 4 * 130 + 1), StandardCharsets.US_ASCII);
    }
    /** DoRSA's other direction: 4 bytes per non-empty token of the line. */
    public static byte[] rsaDecipher(String line, String exponent, String modulus) {
        byte[] text = line.getBytes(StandardCharsets.US_ASCII);
        return rsa(text, exponent, modulus, 1, 4 * (text.length + 1) + 1);
    }

    private interface InPlace { void run(byte[] buffer, int length); }
    private static byte[] scramble(byte[] data, InPlace call) {
        byte[] buffer = data.clone();
        if (buffer.length > 0) call.run(buffer, buffer.length);
        return buffer;
    }
    public static byte[] xorChain(byte[] data, int seed) { return scramble(data, (b, n) -> RAW.Exclusive_OR(b, n, seed, 1)); }
    public static byte[] xorUnchain(byte[] data, int seed) { return scramble(data, (b, n) -> RAW.Exclusive_OR(b, n, seed, 0)); }
    public static byte[] shiftLeft(byte[] data, int count) { return scramble(data, (b, n) -> RAW.Shift_Data(b, n, count, 0)); }
    public static byte[] shiftRight(byte[] data, int count) { return scramble(data, (b, n) -> RAW.Shift_Data(b, n, count, 1)); }
    public static byte[] substitute(byte[] data) { return scramble(data, (b, n) -> RAW.Substitution(b, n, 0)); }
    public static byte[] unsubstitute(byte[] data) { return scramble(data, (b, n) -> RAW.Substitution(b, n, 1)); }

    /** MatchPattern_zk: the whole text against *, ? and [classes], letters in either case. */
    public static boolean matchPattern(String text, String pattern) { return RAW.MatchPattern_zk(text, pattern) != 0; }
    /** instr_zk: the 0-based position of sought in text, or -1. */
    public static int findText(String text, String sought) { return RAW.instr_zk(text, sought); }
}
