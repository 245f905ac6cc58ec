static class Example {
    static void Main() {
        byte[] secret = TessalyFormats.AesEncipher(System.Text.Encoding.ASCII.GetBytes("attack at dawn"), new byte[16]);
        System.Console.WriteLine(TessalyFormats.RsaEncipher(new byte[] {0, 0, 0, 65}, "17", "3233") + " "
                                 + TessalyFormats.Base64Encode(secret) + " " + TessalyFormats.MatchPattern("a.TXT", "*.txt"));
    }
}
