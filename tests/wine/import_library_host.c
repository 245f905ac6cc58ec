/* A C host that links the import library instead of loading by name: proves that tessaly.h
   compiles as C and that every declared export resolves to the name the DLL exports (the
   generated list refers to each one, and the loader refuses to start a program whose imports
   the DLL does not export). A few calls show the bindings reach the right code. */
#include <stdio.h>
#include <string.h>

#include "import_references.h"

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
    size_t resolved = 0;
    for (size_t i = 0; i < sizeof tessaly_every_export / sizeof tessaly_every_export[0]; ++i)
        resolved += tessaly_every_export[i] != NULL;

    check(GetDLLVersion() == 602, "GetDLLVersion");
    GetDLLPath(path);
    check(strlen(path) > 0 && path[strlen(path) - 1] == '\\', "GetDLLPath");
    path[0] = '\0';
    GetDLLPathS(&reference);
    check(strlen(path) > 0, "GetDLLPathS");
    check(Java_Tessaly_GetDLLVersion(NULL, NULL) == 602, "_Java_Tessaly_GetDLLVersion@8");
    check(DoBASE64((const uint8_t *)"foo", 3, text, 0, 0) == 4 && memcmp(text, "Zm9v", 4) == 0,
          "DoBASE64");
    check(memcmp_zk("abc", "abd", 3) < 0, "_memcmp_zk@12");
    printf("import library host: %u exports resolved, %s\n", (unsigned)resolved, failures ? "failures" : "every call right");
    return failures;
}
