// Loads the library given on the command line into a real JVM and checks its two natives.
// Usage: java JvmCheck LIBRARY-FILE; exits non-zero on a failed check.
import java.io.File;

public class JvmCheck {
    private static int failures = 0;

    private static void check(boolean condition, String what) {
        System.out.println((condition ? "ok   " : "FAIL ") + what);
        if (!condition) failures++;
    }

    public static void main(String[] arguments) throws Exception {
        File library = new File(arguments[0]).getCanonicalFile();
        System.load(library.getPath());
        Tessaly tessaly = new Tessaly();

        check(tessaly.GetDLLVersion() == 602, "GetDLLVersion returns 602");

        PathHolder holder = new PathHolder();
        tessaly.GetDLLPath(holder);
        String expected = library.getParent() + "/";
        check(expected.equals(holder.content), "GetDLLPath stores \"" + holder.content + "\", expected \"" + expected + "\"");

        HolderWithoutContent other = new HolderWithoutContent();
        Throwable thrown = null;
        try {
            tessaly.GetDLLPath(other);
        } catch (Throwable t) {
            thrown = t;
        }
        check(thrown instanceof NoSuchFieldError, "a holder without \"content\" gives NoSuchFieldError: " + thrown);
        check("untouched".equals(other.other), "that holder is left alone");

        System.exit(failures == 0 ? 0 : 1);
    }
}
