/* The I/O no filter can avoid, as a program of its own: reads the input,
 * writes the first <bytes> of it to the output and reads the output back,
 * all in 1 MiB blocks.
 * Usage: io_floor <input> <output> <bytes> */
#include <stdio.h>
#include <stdlib.h>

static char block[1 << 20];

int main(int argc, char **argv)
{
    if (argc != 4)
        return 2;
    long long left = atoll(argv[3]);
    FILE *in = fopen(argv[1], "rb"), *out = fopen(argv[2], "wb");
    if (!in || !out)
        return 1;
    size_t got;
    while ((got = fread(block, 1, sizeof block, in)) > 0) {
        size_t put = left < (long long)got ? (size_t)left : got;
        if (put && fwrite(block, 1, put, out) != put)
            return 1;
        left -= (long long)put;
    }
    if (fclose(in) != 0 || fclose(out) != 0 || !(out = fopen(argv[2], "rb")))
        return 1;
    while (fread(block, 1, sizeof block, out) == sizeof block) {
    }
    fclose(out);
    return 0;
}
