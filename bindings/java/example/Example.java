public class Example {
    public static void main(String[] arguments) {
        byte[] secret = TessalyFormats.aesEncipher("attack at dawn".getBytes(), new byte[16]);
        System.out.println(TessalyFormats.rsaEncipher(new byte[] {0, 0, 0, 65}, "17", "3233") + " "
                           + TessalyFormats.base64Encode(secret) + " " + TessalyFormats.matchPattern("a.TXT", "*.txt"));
    }
}
