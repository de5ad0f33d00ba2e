// The suite banner.
#include "Kelvory_LiDAR.h"

#include <cstdio>

void credits(void)
{
    printf("\nKelvory LiDAR Utilities");
    printf("\n\nDeveloped and maintained by %s", "the Quorvane maintainers");
    printf("\n%s", "Kelvory LiDAR Utilities " KELVORY_RELEASE);
    printf("\n%s", "Contact: through the project's issue tracker");
    printf("\n\n** No warranty regarding script behavior is given or implied **");
    puts("\n** Acknowledging the author's efforts ensures script updates and availability **");
}
