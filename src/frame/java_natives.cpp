// Native methods of the Java class Tessaly: the library's path and version for Java hosts.
#include <jni.h>
#include <windows.h>

#include <cstring>

#include "export_entry.h"

TESSALY_EXPORT jint JNICALL Java_Tessaly_GetDLLVersion(JNIEnv* /*environment*/,
                                                       jobject /*object*/) {
    return GetDLLVersion();
}

TESSALY_EXPORT void JNICALL Java_Tessaly_GetDLLPath(JNIEnv* environment, jobject /*object*/,
                                                    jobject holder) {
    char path[256];
    GetDLLPath(path);

    jclass holderClass = environment->GetObjectClass(holder);
    jfieldID content = environment->GetFieldID(holderClass, "content", "Ljava/lang/String;");
    // No such field: the JVM's lookup error stays pending for the Java caller.
    if (content == nullptr) return;

    // The path is in the ANSI code page, not modified UTF-8: convert it, so that a directory
    // with non-ASCII characters arrives intact.
    WCHAR wide[sizeof path];
    const int pathLength = static_cast<int>(std::strlen(path));
    const int wideLength = pathLength == 0 ? 0
                                           : MultiByteToWideChar(CP_ACP, 0, path, pathLength,
                                                                 wide, sizeof path);
    static_assert(sizeof(WCHAR) == sizeof(jchar));
    jstring text = environment->NewString(reinterpret_cast<const jchar*>(wide), wideLength);
    if (text == nullptr) return;  // out of memory: the JVM's error stays pending
    environment->SetObjectField(holder, content, text);
}
