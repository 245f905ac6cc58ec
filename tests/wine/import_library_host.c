/* A C host that links the import library instead of loading by name: proves that tessaly.h
   compiles as C and that every declared export resolves to the name the DLL exports. */
#include <stdio.h>
#include <string.h>

#include "tessaly.h"

static int failures = 0;

static void check(int ok, const char *what) {
    if (!ok) {
        printf("FAILED: %s\n", what);
        ++failures;
    }
}

int main(void) {
    char path[256] = "";
    char *reference = path;
    unsigned char text[8] = {0};
    /* Java_Tessaly_GetDLLPath needs a JNI environment (the Wine suite calls it). Referring
       to it is enough here: the loader refuses to start a program whose imports the DLL
       does not export. */
    void (TESSALY_API *volatile javaGetDLLPath)(void *, void *, void *) = &Java_Tessaly_GetDLLPath;

    check(GetDLLVersion() == 602, "GetDLLVersion");
    GetDLLPath(path);
    check(strlen(path) > 0 && path[strlen(path) - 1] == '\\', "GetDLLPath");
    path[0] = '\0';
    GetDLLPathS(&reference);
    check(strlen(path) > 0, "GetDLLPathS");
    check(Java_Tessaly_GetDLLVersion(NULL, NULL) == 602, "_Java_Tessaly_GetDLLVersion@8");
    check(DoBASE64((const uint8_t *)"foo", 3, text, 0, 0) == 4 && memcmp(text, "Zm9v", 4) == 0,
          "DoBASE64");
    check(javaGetDLLPath != NULL, "_Java_Tessaly_GetDLLPath@12");
    printf("import library host: %s\n", failures ? "failures" : "every export resolved");
    return failures;
}
