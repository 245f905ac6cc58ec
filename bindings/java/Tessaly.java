// The class through which Java hosts call the library, as they declare it (unnamed package).
public class Tessaly {
    public native void GetDLLPath(Object holder);

    public native int GetDLLVersion();
}
