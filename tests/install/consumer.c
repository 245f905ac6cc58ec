/* A C host of the installed libtessaly.so: the version and one digest. */
#include <stdio.h>
#include <string.h>

#include <tessaly.h>

int main(void) {
    uint8_t digest[32];
    SHA_256((const uint8_t *)"abc", 3, digest);
    if (GetDLLVersion() != 602 || digest[0] != 0xBA || digest[31] != 0xAD) {
        fprintf(stderr, "unexpected answers from the installed library\n");
        return 1;
    }
    printf("installed library answers %d\n", GetDLLVersion());
    return 0;
}
