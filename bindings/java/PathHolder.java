// What Java hosts hand to GetDLLPath: an object with a String field "content".
public class PathHolder {
    public String content;
}
