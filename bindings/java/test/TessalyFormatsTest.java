// The Java binding on the real library: the known answers, a round trip per cipher and
// scrambler, a file's digest, Base64 with padding in the middle, an RSA line with a result code,
// a text helper and the wildcard matcher, and the bytes the C tests expect.
import static org.junit.jupiter.api.Assertions.*;

import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.security.MessageDigest;
import java.util.Arrays;
import java.util.HexFormat;
import java.util.Random;
import java.util.function.BinaryOperator;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

class TessalyFormatsTest {
    private static byte[] hex(String text) { return HexFormat.of().parseHex(text); }
    private static byte[] ascii(String text) { return text.getBytes(StandardCharsets.US_ASCII); }
    private static byte[] random(int size, long seed) {
        byte[] bytes = new byte[size];
        new Random(seed).nextBytes(bytes);
        return bytes;
    }

    @Test
    void knownAnswers() {
        assertArrayEquals(hex("28DF3F2247199D37"), TessalyFormats.desEncipher(new byte[8], new byte[8]));
        assertArrayEquals(hex("28DF3F2247199D37"), TessalyFormats.tripleDesEncipher(new byte[8], new byte[16]));
        assertArrayEquals(hex("01F5D2A3C523D4B7"), TessalyFormats.blowfishEncipher(new byte[8], new byte[1]));
        assertArrayEquals(hex("69c4e0d86a7b0430d8cdb78070b4c55a"),
                          TessalyFormats.aesEncipher(hex("00112233445566778899aabbccddeeff"), hex("000102030405060708090a0b0c0d0e0f")));
        assertEquals("2790", TessalyFormats.rsaEncipher(hex("00000041"), "17", "3233"));
        assertArrayEquals(hex("00000041"), TessalyFormats.rsaDecipher("2790", "2753", "3233"));
        assertArrayEquals(hex("900150983cd24fb0d6963f7d28e17f72"), TessalyFormats.md5(ascii("abc")));
        assertArrayEquals(hex("9294727a3638bb1c13f48ef8158bfc9d"),
                          TessalyFormats.hmacMd5(hex("0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b"), ascii("Hi There")));
        assertArrayEquals(new byte[] {1, 3, 0}, TessalyFormats.xorChain(new byte[] {1, 2, 3}, 0));
        assertArrayEquals(new byte[] {0, 3}, TessalyFormats.shiftLeft(new byte[] {(byte) 0x80, 1}, 1));
        assertArrayEquals(ascii("bz "), TessalyFormats.substitute(ascii("A z")));
    }

    private static void roundTrip(BinaryOperator<byte[]> encipher, BinaryOperator<byte[]> decipher, byte[] key, int block) {
        byte[] data = random(1003, 1);
        byte[] enciphered = encipher.apply(data, key);
        assertEquals(0, enciphered.length % block);
        assertArrayEquals(Arrays.copyOf(data, enciphered.length), decipher.apply(enciphered, key));
        assertThrows(TessalyFormats.KeySizeException.class, () -> encipher.apply(data, new byte[57]));
        assertThrows(TessalyFormats.TessalyException.class, () -> decipher.apply(Arrays.copyOf(enciphered, 7), key));
    }

    @Test
    void cipherRoundTripsAndKeySizes() {
        roundTrip(TessalyFormats::desEncipher, TessalyFormats::desDecipher, random(8, 2), 8);
        roundTrip(TessalyFormats::tripleDesEncipher, TessalyFormats::tripleDesDecipher, random(16, 3), 8);
        roundTrip(TessalyFormats::aesEncipher, TessalyFormats::aesDecipher, random(24, 4), 16);
        roundTrip(TessalyFormats::blowfishEncipher, TessalyFormats::blowfishDecipher, ascii("key\0ignored"), 8);
    }

    @Test
    void scramblerRoundTrips() {
        byte[] data = random(999, 5);
        assertArrayEquals(data, TessalyFormats.xorUnchain(TessalyFormats.xorChain(data, 0x5A), 0x5A));
        assertArrayEquals(data, TessalyFormats.shiftRight(TessalyFormats.shiftLeft(data, 203), 203));
        assertArrayEquals(data, TessalyFormats.unsubstitute(TessalyFormats.substitute(data)));
    }

    @Test
    void digestOfAFile(@TempDir Path folder) throws Exception {
        Path file = folder.resolve("data");
        Files.write(file, random(100_000, 6));
        assertArrayEquals(MessageDigest.getInstance("SHA-256").digest(Files.readAllBytes(file)),
                          TessalyFormats.sha256(Files.readAllBytes(file)));
    }

    @Test
    void base64WithPaddingInTheMiddle() {
        assertEquals("QQ==", TessalyFormats.base64Encode(ascii("A")));
        assertArrayEquals(ascii("AABABC"), TessalyFormats.base64Decode("QQ==QUI=QUJD\n"));
    }

    @Test
    void rsaLineWithAResultCode() {
        var notBelow = assertThrows(TessalyFormats.RsaException.class,
                                    () -> TessalyFormats.rsaEncipher(hex("0000004100000CA1"), "17", "3233"));
        assertEquals(3, notBelow.code);
        var malformed = assertThrows(TessalyFormats.RsaException.class,
                                     () -> TessalyFormats.rsaDecipher("2790 27x0", "2753", "3233"));
        assertEquals(2, malformed.code);
    }

    @Test
    void textHelperAndWildcards() {
        assertEquals(6, TessalyFormats.findText("hello world", "world"));
        assertEquals(-1, TessalyFormats.findText("hello", "x"));
        assertTrue(TessalyFormats.matchPattern("Report-2026.TXT", "report-*.t?t"));
        assertTrue(TessalyFormats.matchPattern("a", "[A-Z]"));
        assertFalse(TessalyFormats.matchPattern("a", "[a-z]"));
    }

    @Test
    void rawExportsAndTheBytesTheCTestsExpect() {
        byte[] buffer = new byte[8];
        TessalyFormats.RAW.DoDES(buffer, 8, new byte[8], 0);
        assertArrayEquals(hex("28DF3F2247199D37"), buffer);
        assertEquals(602, TessalyFormats.RAW.GetDLLVersion());
        assertArrayEquals(new byte[8], TessalyFormats.blowfishDecipher(hex("01F5D2A3C523D4B7"), new byte[1]));
    }
}
