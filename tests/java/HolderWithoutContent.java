// A holder that lacks the "content" field: GetDLLPath must end in NoSuchFieldError.
public class HolderWithoutContent {
    public String other = "untouched";
}
