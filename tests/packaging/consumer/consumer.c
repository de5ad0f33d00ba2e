/* A small C program built against an installed Kelvory_LiDAR: it classifies
 * the LAS files named on its command line and sorts a few keys together with
 * the positions they came from.
 * Usage: consumer [file.las ...]
 */
#include <Kelvory_LiDAR.h>

#include <stdio.h>

int main(int argc, char **argv)
{
    for (int i = 1; i < argc; i++) {
        LASType kind = check_las(argv[i]);
        printf("check_las %s: %d\n", argv[i], (int)kind);
    }

    int32_t keys[4] = {-3, 10, -3, 0};
    int32_t from[4] = {0, 1, 2, 3};
    l_quicksort(keys, 4, from);
    printf("keys:");
    for (int i = 0; i < 4; i++)
        printf(" %d", (int)keys[i]);
    printf("\nfrom:");
    for (int i = 0; i < 4; i++)
        printf(" %d", (int)from[i]);
    printf("\n");
    return 0;
}
