/* Kelvory_LiDAR: the suite library's records and routines.
 *
 * LAS header blocks and point records are byte images of the file: packed,
 * little-endian, exact sizes. They move between file and memory whole.
 * Usable from C (C89 and later) and C++. This is the library's one public
 * header; the headers under internal/ are the project's own.
 */
#ifndef KELVORY_LIDAR_H
#define KELVORY_LIDAR_H

#include <stddef.h>
#include <stdint.h>

/* On Windows the library's own objects (in the DLL and in the executable)
 * export the routines, and everything else imports them from the DLL. */
#if defined(_WIN32) && defined(KELVORY_LIDAR_BUILD)
#define KELVORY_API __declspec(dllexport)
#elif defined(_WIN32)
#define KELVORY_API __declspec(dllimport)
#elif defined(__GNUC__)
#define KELVORY_API __attribute__((visibility("default")))
#else
#define KELVORY_API
#endif

#ifdef __cplusplus
#define KELVORY_STATIC_ASSERT(c, m) static_assert(c, m)
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#define KELVORY_STATIC_ASSERT(c, m) _Static_assert(c, m)
#else
/* Before C11: an array type of negative size where the condition fails. */
#define KELVORY_ASSERT_NAME(line) KELVORY_ASSERT_NAME2(line)
#define KELVORY_ASSERT_NAME2(line) kelvory_static_assert_##line
#define KELVORY_STATIC_ASSERT(c, m) typedef char KELVORY_ASSERT_NAME(__LINE__)[(c) ? 1 : -1]
#endif

/* The lookups below are inline where the language has inline functions. */
#if defined(__cplusplus) || (defined(__STDC_VERSION__) && __STDC_VERSION__ >= 199901L)
#define KELVORY_INLINE static inline
#elif defined(__GNUC__)
#define KELVORY_INLINE static __inline__
#else
#define KELVORY_INLINE static
#endif

/* Whole records are copied between file and memory, so the host must share
 * the file's byte order. */
KELVORY_STATIC_ASSERT(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
                      "LAS records are little-endian byte images");

#ifdef __cplusplus
extern "C" {
#endif

#pragma pack(push, 1)

/* Public header block, LAS 1.2 layout (227 bytes). Every accepted version is
 * read and written through this layout. */
typedef struct LAS12Header {
    char     LASF[4];
    uint16_t FileSourceID;
    uint16_t GlobalEncoding;
    uint32_t GUIDData1;
    uint16_t GUIDData2;
    uint16_t GUIDData3;
    uint8_t  GUIDData4[8];
    uint8_t  VersionMajor;
    uint8_t  VersionMinor;
    char     SystemIdentifier[32];
    char     GeneratingSoftware[32];
    uint16_t FileCreationDay;
    uint16_t FileCreationYear;
    uint16_t HeaderSize;
    uint32_t OffsetToData;
    uint32_t NumberOfVariableLengthRecords;
    uint8_t  PointDataFormatID;
    uint16_t PointDataRecordLength;
    uint32_t NumberOfPointReturns;
    uint32_t NumberOfPointsByReturn[5];
    double   XScaleFactor;
    double   YScaleFactor;
    double   ZScaleFactor;
    double   XOffset;
    double   YOffset;
    double   ZOffset;
    double   MaxX;
    double   MinX;
    double   MaxY;
    double   MinY;
    double   MaxZ;
    double   MinZ;
} LAS12Header;

/* LAS 1.1: offset 6 is reserved instead of the global encoding. */
typedef struct LAS11Header {
    char     LASF[4];
    uint16_t FileSourceID;
    uint16_t Reserved;
    uint32_t GUIDData1;
    uint16_t GUIDData2;
    uint16_t GUIDData3;
    uint8_t  GUIDData4[8];
    uint8_t  VersionMajor;
    uint8_t  VersionMinor;
    char     SystemIdentifier[32];
    char     GeneratingSoftware[32];
    uint16_t FileCreationDay;
    uint16_t FileCreationYear;
    uint16_t HeaderSize;
    uint32_t OffsetToData;
    uint32_t NumberOfVariableLengthRecords;
    uint8_t  PointDataFormatID;
    uint16_t PointDataRecordLength;
    uint32_t NumberOfPointReturns;
    uint32_t NumberOfPointsByReturn[5];
    double   XScaleFactor;
    double   YScaleFactor;
    double   ZScaleFactor;
    double   XOffset;
    double   YOffset;
    double   ZOffset;
    double   MaxX;
    double   MinX;
    double   MaxY;
    double   MinY;
    double   MaxZ;
    double   MinZ;
} LAS11Header;

/* LAS 1.0: offsets 4-7 are one reserved field; the date fields have their
 * 1.0 names. */
typedef struct LAS10Header {
    char     LASF[4];
    uint32_t Reserved;
    uint32_t GUIDData1;
    uint16_t GUIDData2;
    uint16_t GUIDData3;
    uint8_t  GUIDData4[8];
    uint8_t  VersionMajor;
    uint8_t  VersionMinor;
    char     SystemIdentifier[32];
    char     GeneratingSoftware[32];
    uint16_t FlightDateJulian;
    uint16_t Year;
    uint16_t HeaderSize;
    uint32_t OffsetToData;
    uint32_t NumberOfVariableLengthRecords;
    uint8_t  PointDataFormatID;
    uint16_t PointDataRecordLength;
    uint32_t NumberOfPointReturns;
    uint32_t NumberOfPointsByReturn[5];
    double   XScaleFactor;
    double   YScaleFactor;
    double   ZScaleFactor;
    double   XOffset;
    double   YOffset;
    double   ZOffset;
    double   MaxX;
    double   MinX;
    double   MaxY;
    double   MinY;
    double   MaxZ;
    double   MinZ;
} LAS10Header;

/* Point records. `bitfield` is only ever read bit by bit (mask and shift). */
typedef struct LAS12fm0 {
    int32_t  X;
    int32_t  Y;
    int32_t  Z;
    uint16_t Intensity;
    int8_t   bitfield;
    uint8_t  Classification;
    int8_t   ScanAngleRank;
    uint8_t  UserData;
    uint16_t PointSourceID;
} LAS12fm0;

typedef struct LAS12fm1 {
    int32_t  X;
    int32_t  Y;
    int32_t  Z;
    uint16_t Intensity;
    int8_t   bitfield;
    uint8_t  Classification;
    int8_t   ScanAngleRank;
    uint8_t  UserData;
    uint16_t PointSourceID;
    double   GPSTime;
} LAS12fm1;

typedef struct LAS12fm2 {
    int32_t  X;
    int32_t  Y;
    int32_t  Z;
    uint16_t Intensity;
    int8_t   bitfield;
    uint8_t  Classification;
    int8_t   ScanAngleRank;
    uint8_t  UserData;
    uint16_t PointSourceID;
    uint16_t Red;
    uint16_t Green;
    uint16_t Blue;
} LAS12fm2;

typedef struct LAS12fm3 {
    int32_t  X;
    int32_t  Y;
    int32_t  Z;
    uint16_t Intensity;
    int8_t   bitfield;
    uint8_t  Classification;
    int8_t   ScanAngleRank;
    uint8_t  UserData;
    uint16_t PointSourceID;
    double   GPSTime;
    uint16_t Red;
    uint16_t Green;
    uint16_t Blue;
} LAS12fm3;

#pragma pack(pop)

#define LAS_HEADER_SIZE 227

KELVORY_STATIC_ASSERT(sizeof(LAS12Header) == 227, "LAS 1.2 header is 227 bytes");
KELVORY_STATIC_ASSERT(sizeof(LAS11Header) == 227, "LAS 1.1 header is 227 bytes");
KELVORY_STATIC_ASSERT(sizeof(LAS10Header) == 227, "LAS 1.0 header is 227 bytes");
KELVORY_STATIC_ASSERT(offsetof(LAS12Header, VersionMajor) == 24, "VersionMajor at 24");
KELVORY_STATIC_ASSERT(offsetof(LAS12Header, GeneratingSoftware) == 58, "GeneratingSoftware at 58");
KELVORY_STATIC_ASSERT(offsetof(LAS12Header, HeaderSize) == 94, "HeaderSize at 94");
KELVORY_STATIC_ASSERT(offsetof(LAS12Header, OffsetToData) == 96, "OffsetToData at 96");
KELVORY_STATIC_ASSERT(offsetof(LAS12Header, PointDataFormatID) == 104, "format at 104");
KELVORY_STATIC_ASSERT(offsetof(LAS12Header, PointDataRecordLength) == 105, "record length at 105");
KELVORY_STATIC_ASSERT(offsetof(LAS12Header, NumberOfPointReturns) == 107, "point count at 107");
KELVORY_STATIC_ASSERT(offsetof(LAS12Header, NumberOfPointsByReturn) == 111, "counts by return at 111");
KELVORY_STATIC_ASSERT(offsetof(LAS12Header, XScaleFactor) == 131, "scale factors at 131");
KELVORY_STATIC_ASSERT(offsetof(LAS12Header, XOffset) == 155, "offsets at 155");
KELVORY_STATIC_ASSERT(offsetof(LAS12Header, MaxX) == 179, "extents at 179");
KELVORY_STATIC_ASSERT(offsetof(LAS12Header, MinZ) == 219, "MinZ at 219");
KELVORY_STATIC_ASSERT(offsetof(LAS11Header, Reserved) == 6, "1.1 reserved at 6");
KELVORY_STATIC_ASSERT(offsetof(LAS11Header, OffsetToData) == 96, "1.1 OffsetToData at 96");
KELVORY_STATIC_ASSERT(offsetof(LAS11Header, MaxX) == 179, "1.1 extents at 179");
KELVORY_STATIC_ASSERT(offsetof(LAS10Header, GUIDData1) == 8, "1.0 GUID at 8");
KELVORY_STATIC_ASSERT(offsetof(LAS10Header, FlightDateJulian) == 90, "1.0 date at 90");
KELVORY_STATIC_ASSERT(offsetof(LAS10Header, OffsetToData) == 96, "1.0 OffsetToData at 96");
KELVORY_STATIC_ASSERT(offsetof(LAS10Header, MaxX) == 179, "1.0 extents at 179");
KELVORY_STATIC_ASSERT(sizeof(LAS12fm0) == 20, "format 0 record is 20 bytes");
KELVORY_STATIC_ASSERT(sizeof(LAS12fm1) == 28, "format 1 record is 28 bytes");
KELVORY_STATIC_ASSERT(sizeof(LAS12fm2) == 26, "format 2 record is 26 bytes");
KELVORY_STATIC_ASSERT(sizeof(LAS12fm3) == 34, "format 3 record is 34 bytes");
KELVORY_STATIC_ASSERT(offsetof(LAS12fm0, Intensity) == 12, "Intensity at 12");
KELVORY_STATIC_ASSERT(offsetof(LAS12fm0, bitfield) == 14, "bitfield at 14");
KELVORY_STATIC_ASSERT(offsetof(LAS12fm0, Classification) == 15, "Classification at 15");
KELVORY_STATIC_ASSERT(offsetof(LAS12fm0, ScanAngleRank) == 16, "ScanAngleRank at 16");
KELVORY_STATIC_ASSERT(offsetof(LAS12fm0, UserData) == 17, "UserData at 17");
KELVORY_STATIC_ASSERT(offsetof(LAS12fm0, PointSourceID) == 18, "PointSourceID at 18");
KELVORY_STATIC_ASSERT(offsetof(LAS12fm1, GPSTime) == 20, "format 1 GPSTime at 20");
KELVORY_STATIC_ASSERT(offsetof(LAS12fm2, Red) == 20, "format 2 Red at 20");
KELVORY_STATIC_ASSERT(offsetof(LAS12fm3, GPSTime) == 20, "format 3 GPSTime at 20");
KELVORY_STATIC_ASSERT(offsetof(LAS12fm3, Red) == 28, "format 3 Red at 28");

/* LASType, the file-kind code that check_las produces: 1 to 8 for the kinds
 * of the table below, 0 for LAS 1.0/1.1 with format 2 or 3 (accepted, no
 * record layout), -1 for a refused file. */
typedef int16_t LASType;

/* The one map from file kinds to record layouts. check_las classifies by it;
 * the lookups below, the LAS writer and the tool's scan loops are generated
 * from it. A new layout is a struct above, with its static asserts, and its
 * rows here.
 *   KELVORY_LAS_LAYOUTS: point data format, record struct, carries GPSTime.
 *   KELVORY_LAS_KINDS:   LASType, minor version (of 1.x), point data format. */
#define KELVORY_LAS_LAYOUTS(X) \
    X(0, LAS12fm0, 0)          \
    X(1, LAS12fm1, 1)          \
    X(2, LAS12fm2, 0)          \
    X(3, LAS12fm3, 1)

#define KELVORY_LAS_KINDS(X) \
    X(1, 0, 0)               \
    X(2, 0, 1)               \
    X(3, 1, 0)               \
    X(4, 1, 1)               \
    X(5, 2, 0)               \
    X(6, 2, 1)               \
    X(7, 2, 2)               \
    X(8, 2, 3)

#define KELVORY_FORMAT_LENGTH_CASE(format, Record, gps) \
    case format: return (uint16_t)sizeof(Record);
#define KELVORY_FORMAT_GPS_CASE(format, Record, gps) \
    case format: return gps;
#define KELVORY_KIND_FORMAT_CASE(kind, minor, format) \
    case kind: return format;

/* The record size of a point data format, or 0 when it has no layout. */
KELVORY_INLINE uint16_t las_format_record_length(int format)
{
    switch (format) {
    KELVORY_LAS_LAYOUTS(KELVORY_FORMAT_LENGTH_CASE)
    default: return 0;
    }
}

/* The point data format of a file kind, or -1 when the kind has no layout. */
KELVORY_INLINE int las_kind_format(LASType kind)
{
    switch (kind) {
    KELVORY_LAS_KINDS(KELVORY_KIND_FORMAT_CASE)
    default: return -1;
    }
}

/* The record size of a file kind, or 0 when the kind has no layout. */
KELVORY_INLINE uint16_t las_record_length(LASType kind)
{
    return las_format_record_length(las_kind_format(kind));
}

/* Whether records of a point data format carry GPSTime. */
KELVORY_INLINE int las_format_has_gps_time(int format)
{
    switch (format) {
    KELVORY_LAS_LAYOUTS(KELVORY_FORMAT_GPS_CASE)
    default: return 0;
    }
}

/* Whether records of this kind carry GPSTime. */
KELVORY_INLINE int las_has_gps_time(LASType kind)
{
    return las_format_has_gps_time(las_kind_format(kind));
}

#undef KELVORY_FORMAT_LENGTH_CASE
#undef KELVORY_FORMAT_GPS_CASE
#undef KELVORY_KIND_FORMAT_CASE
#undef KELVORY_INLINE

/* LAS input validation. */
KELVORY_API int16_t file_access(const char *filename);
KELVORY_API int16_t check_file_extension(const char *filename, const char *extension);
KELVORY_API void error_msg(int32_t i, const char *text);
KELVORY_API LASType check_las(const char *filename);

/* Rescans a written LAS file and rewrites its counts and extents in place.
 * Ends the process with status -1 on any failure. */
KELVORY_API void update_header(const char *filename);

/* Header defaults for new files. */
KELVORY_API void initialize_header10(LAS10Header *ph);
KELVORY_API void initialize_header11(LAS11Header *ph);
KELVORY_API void initialize_header12(LAS12Header *ph);

/* The suite banner. */
KELVORY_API void credits(void);

/* Quicksorts that carry a companion index array through every exchange. The
 * depth-counting (_parallel_) routines leave exactly the arrangement of the
 * plain ones; their `deep` is accepted and does not change it. */
KELVORY_API void l_qs(int32_t *p, int32_t left, int32_t right, int32_t *p_ind);
KELVORY_API void l_quicksort(int32_t *p, int32_t count, int32_t *p_ind);
KELVORY_API void d_qs(double *p, int32_t left, int32_t right, int32_t *p_ind);
KELVORY_API void d_quicksort(double *p, int32_t count, int32_t *p_ind);
KELVORY_API void l_parallel_qs(int32_t *p, int32_t left, int32_t right, int32_t *p_ind, int32_t deep);
KELVORY_API void l_parallel_quicksort(int32_t *p, int32_t count, int32_t *p_ind);
KELVORY_API void d_parallel_qs(double *p, int32_t left, int32_t right, int32_t *p_ind, int32_t deep);
KELVORY_API void d_parallel_quicksort(double *p, int32_t count, int32_t *p_ind);

/* Argument checks. check_numeric_argument and check_DEM end the process with
 * status -1 on a refusal; check_YN returns -1. */
KELVORY_API void check_numeric_argument(const char *str);
KELVORY_API int16_t check_YN(const char *text);
KELVORY_API void check_DEM(const char *str);

#ifdef __cplusplus
}
#endif

#endif /* KELVORY_LIDAR_H */
