// LAS input validation: can the file be opened, does its name end in the
// extension, and which kind of LAS file is it.
#include "Kelvory_LiDAR.h"
#include "internal/platform.h"
#include "internal/status_routines.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

int16_t file_access(const char *filename)
{
    FILE *fp = file_open(filename, "r");
    if (fp) {
        file_close(fp);
        return 0;
    }
    printf("Unable to open file %s in file_access()\n", filename);
    return -1;
}

int16_t check_file_extension(const char *filename, const char *extension)
{
    size_t L = strlen(filename);
    if (L <= 4) {
        printf("\nFile name (%s) is too short\n", filename);
        return -1;
    }
    if (filename[L - 4] != '.') {
        printf("\nExtension of file %s should be preceeded by a dot (.)\n", filename);
        return -1;
    }
    char ActualExt[5];
    memcpy(ActualExt, filename + L - 3, 3);
    ActualExt[3] = '\0';
    if (strcmp(ActualExt, extension) == 0)
        return 0;
    printf("\nFile extension of %s is not .%s\n", filename, extension);
    return -1;
}

void error_msg(int32_t i, const char *text)
{
    switch (i) {
    case 1: printf("\nFile %s does NOT exist\n", text); break;
    case 2: printf("\nFile %s already exists\n", text); break;
    case 3: printf("\nSame file name (%s) has been specified twice\n", text); break;
    default: break;
    }
}

namespace {

// Reads `n` bytes; a short read means the file ends before the field.
bool read_field(FILE *fp, void *dst, size_t n)
{
    return file_read(dst, n, fp) == n;
}

#define KELVORY_KIND_MATCH(kind, minor_, format_) \
    if (minor == (minor_) && format == (format_))  \
        return kind;

// The kind of a version 1.minor file of this format, or 0 when the kind
// table has no layout for it (formats 2 and 3 before 1.2).
LASType kind_of(uint8_t minor, uint8_t format)
{
    KELVORY_LAS_KINDS(KELVORY_KIND_MATCH)
    return 0;
}

// The kind of a file that passed the signature, version and format checks,
// or -1 (with its message) when the record length does not fit the format.
LASType classify_las(const char *filename, uint8_t minor, uint8_t format, uint16_t length)
{
    LASType kind = kind_of(minor, format);
    if (kind != 0 && length != las_record_length(kind)) {
        printf("\nData format of %s (%c) is incompatible with Length of Data Record (%d)\n",
               filename, format + 48, (int)length);
        return -1;
    }
    return kind;
}

// The checks after the file is open, in their fixed order: signature,
// major version, minor version, format, record length.
LASType check_las_stream(const char *filename, FILE *fp)
{
    char sig[4];
    uint8_t major = 0, minor = 0, format = 0, len[2];
    if (!read_field(fp, sig, 4) || memcmp(sig, "LASF", 4) != 0 ||
        seek_to(fp, offsetof(LAS12Header, VersionMajor)) != 0 || !read_field(fp, &major, 1)) {
        printf("\n%s is not a valid .las file\n\n", filename);
        return -1;
    }
    if (major != 1) {
        printf("\nCannot handle las files of version %c.x\n", major + 48);
        return -1;
    }
    if (!read_field(fp, &minor, 1)) {
        printf("\n%s is not a valid .las file\n\n", filename);
        return -1;
    }
    if (minor > 2) {
        printf("\nCannot handle las files of version %c.%c\n", major + 48, minor + 48);
        return -1;
    }
    if (seek_to(fp, offsetof(LAS12Header, PointDataFormatID)) != 0 || !read_field(fp, &format, 1)) {
        printf("\n%s is not a valid .las file\n\n", filename);
        return -1;
    }
    if (format > 3) {
        printf("\nPointDataFormatID in %s is %c. Only 0, 1, 2, or 3 is accepted\n",
               filename, format + 48);
        return -1;
    }
    if (!read_field(fp, len, 2)) {
        printf("\n%s is not a valid .las file\n\n", filename);
        return -1;
    }
    return classify_las(filename, minor, format, (uint16_t)(len[0] | (len[1] << 8)));
}

}  // namespace

LASType check_las_why(const char *filename, bool *name_refused)
{
    *name_refused = false;
    if (file_access(filename) < 0) {
        error_msg(1, filename);
        return -1;
    }
    if (check_file_extension(filename, "las") < 0) {
        *name_refused = true;
        return -1;
    }
    FILE *fp = file_open(filename, "rb");
    if (!fp) {
        printf("\nCannot open file %s in binary mode\n\n", filename);
        return -1;
    }
    LASType kind = check_las_stream(filename, fp);
    file_close(fp);
    return kind;
}

LASType check_las(const char *filename)
{
    bool name_refused;
    return check_las_why(filename, &name_refused);
}
