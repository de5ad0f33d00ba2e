// Checks that the suite's tools apply to command-line arguments: plain
// decimal numbers, Y/N flags and DEM file names.
#include "Kelvory_LiDAR.h"
#include "internal/status_routines.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool is_numeric_character(char c)
{
    return (c >= '0' && c <= '9') || c == '.' || c == '-';
}

// Digits with at most one dot and at most one dash, anywhere; the empty text
// passes, a lone dot or a lone dash does not.
bool is_plain_number(const char *str)
{
    size_t n = strlen(str);
    size_t ndots = 0, ndashes = 0;
    for (size_t t = 0; t < n; t++) {
        if (!is_numeric_character(str[t]))
            return false;
        ndots += str[t] == '.';
        ndashes += str[t] == '-';
    }
    if (n == 1 && (str[0] == '.' || str[0] == '-'))
        return false;
    return ndots <= 1 && ndashes <= 1;
}

// The companion header file of a floating-point grid: the name with its
// ".flt" replaced by ".hdr", directory part kept. The name is built at the
// length it needs, so a long path is examined like a short one.
std::string header_file_name(const char *flt_name)
{
    std::string name(flt_name, strlen(flt_name) - 4);
    name += ".hdr";
    return name;
}

}  // namespace

int16_t check_numeric_argument_status(const char *str)
{
    if (is_plain_number(str))
        return 0;
    printf("\nInvalid argument value (%s)\n", str);
    return -1;
}

void check_numeric_argument(const char *str)
{
    if (check_numeric_argument_status(str) < 0)
        exit(-1);
}

int16_t check_YN(const char *text)
{
    if (strcmp(text, "Y") == 0 || strcmp(text, "N") == 0 || strcmp(text, "y") == 0 ||
        strcmp(text, "n") == 0)
        return 0;
    puts("\nASCII Header Flag should be either Y (y) or N (n)");
    return -1;
}

// check_file_extension prints a message for every "no", so an accepted name
// still prints one: the "flt" answer for an ASCII grid, the "asc" answer for
// a floating-point grid. The questions are asked in this order on purpose.
int16_t check_DEM_status(const char *str)
{
    bool ascii = check_file_extension(str, "asc") == 0;
    if (!ascii && check_file_extension(str, "flt") < 0) {
        puts("\nDEM file extension should be either '.asc' (ASCII) or '.flt' (floating point "
             "binary)");
        return -1;
    }
    if (check_file_extension(str, "flt") < 0)
        return 0;
    if (file_access(header_file_name(str).c_str()) < 0) {
        puts("\nFloating point binary DEM files also require a ASCII header file ('.hdr')");
        return -1;
    }
    return 0;
}

void check_DEM(const char *str)
{
    if (check_DEM_status(str) < 0)
        exit(-1);
}
