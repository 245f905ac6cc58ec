// Native methods of the Java class Tessaly: the library's path and version for Java hosts.
#include <jni.h>

#include <cstring>

#include "export_entry.h"
#include "platform.h"

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

    // The path is in the platform's file-name encoding, not modified UTF-8: convert it, so
    // that a directory with non-ASCII characters arrives intact.
    char16_t utf16[sizeof path];
    const std::size_t length = tessaly::frame::fileNameToUtf16(path, utf16);
    static_assert(sizeof(jchar) == sizeof(char16_t));
    jstring text = environment->NewString(reinterpret_cast<const jchar*>(utf16), static_cast<jsize>(length));
    if (text == nullptr) return;  // out of memory: the JVM's error stays pending
    environment->SetObjectField(holder, content, text);
}
