/* A small program that the process tests start: it writes its first argument's file. */
#include <stdio.h>

int main(int argc, char **argv) {
    FILE *marker;
    if (argc < 2) return 2;
    marker = fopen(argv[1], "w");
    if (marker == NULL) return 1;
    fputs("started\n", marker);
    fclose(marker);
    return 0;
}
