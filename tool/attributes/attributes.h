// The attributes a run can filter on: one table, from which the request's
// texts, the reading of a value from a record, its limits, the bound
// conversion's axis and the scan's dispatch are all generated.
#ifndef ATTRIBUTES_H
#define ATTRIBUTES_H

#include "Kelvory_LiDAR.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>

// QUORVANE_ATTRIBUTES(ROW), one row per attribute:
//   AttrID, its argument text, its name in the request summary (TextArray),
//   its line in the attribute menu,
//   the record field it reads, and where its value lies in that field: the
//   lowest bit and the number of bits (0 bits: the whole field, in the
//   field's own type; a field read by bits is read as unsigned),
//   the coordinate axis whose scale and offset convert its bounds ('X', 'Y',
//   'Z'), or 0 when bounds are raw field values.
// In menu line 11 the runs of spaces are 9 and 3; in line 12, 3 and 3.
#define QUORVANE_ATTRIBUTES(ROW)                                                                  \
    ROW(1, "1", "X", " 1\tX", X, 0, 0, 'X')                                                         \
    ROW(2, "2", "Y", " 2\tY", Y, 0, 0, 'Y')                                                         \
    ROW(3, "3", "Z", " 3\tZ", Z, 0, 0, 'Z')                                                         \
    ROW(4, "4", "Intensity", " 4\tIntensity", Intensity, 0, 0, 0)                                   \
    ROW(5, "5", "Return Number", " 5\tReturn Number", bitfield, 0, 3, 0)                            \
    ROW(6, "6", "Number of Returns", " 6\tNumber of Returns", bitfield, 3, 3, 0)                    \
    ROW(7, "7", "Scan Direction Flag", " 7\tScan Direction Flag", bitfield, 6, 1, 0)                \
    ROW(8, "8", "Edge of Flight Line", " 8\tEdge of Flight Line", bitfield, 7, 1, 0)                \
    ROW(9, "9", "Class", " 9\tClassification", Classification, 0, 0, 0)                             \
    ROW(10, "10", "Scan Angle Rank", "10\tScan Angle Rank", ScanAngleRank, 0, 0, 0)                 \
    ROW(11, "11", "User Data / File Marker", "11\tUser Data         or   File Marker", UserData, 0, \
        0, 0)                                                                                       \
    ROW(12, "12", "Point Source ID / User Bit Field", "12\tPoint Source ID   or   User Bit Field",  \
        PointSourceID, 0, 0, 0)                                                                     \
    ROW(13, "13", "GPS Time", "13\tGPS Time\n", GPSTime, 0, 0, 0)

// What the layouts table says of a record layout: whether it carries GPS
// time.
template <typename Record>
struct Layout;
#define QUORVANE_LAYOUT_FACTS(format, Record, gps) \
    template <>                                    \
    struct Layout<Record> {                        \
        static constexpr bool kGpsTime = gps;      \
    };
KELVORY_LAS_LAYOUTS(QUORVANE_LAYOUT_FACTS)
#undef QUORVANE_LAYOUT_FACTS

// What the table says of attribute AttrID, for the code generated from it:
// Field<Record> is the type of the field it reads in a record layout,
// offset<Record>() where that field lies, and carried<Record>() whether the
// layout has the field at all (the one field some lack is GPS time, read
// from the layouts table).
template <int AttrID>
struct Attribute;

#define QUORVANE_ATTRIBUTE_FACTS(id, text, name, menu, field, shift, bits, axis) \
    template <>                                                                   \
    struct Attribute<id> {                                                        \
        static constexpr int kShift = shift;                                      \
        static constexpr int kBits = bits;                                        \
        static constexpr char kAxis = axis;                                       \
        static constexpr bool kGpsTime = std::string_view(#field) == "GPSTime";   \
        template <typename Record>                                                \
        using Field = decltype(Record::field);                                    \
        template <typename Record>                                                \
        static constexpr size_t offset()                                          \
        {                                                                         \
            return offsetof(Record, field);                                       \
        }                                                                         \
        template <typename Record>                                                \
        static constexpr bool carried()                                           \
        {                                                                         \
            return !kGpsTime || Layout<Record>::kGpsTime;                         \
        }                                                                         \
    };
QUORVANE_ATTRIBUTES(QUORVANE_ATTRIBUTE_FACTS)
#undef QUORVANE_ATTRIBUTE_FACTS

// Whether records of the layout `Record` carry the field attribute AttrID
// reads (GPS time is missing from two layouts).
template <typename Record, int AttrID>
constexpr bool kCarries = Attribute<AttrID>::template carried<Record>();

// The type of the field attribute AttrID reads in records of `Record`.
template <typename Record, int AttrID>
using FieldOf = typename Attribute<AttrID>::template Field<Record>;

// Calls fn((const Record *)nullptr, std::integral_constant<int, AttrID>())
// for the record layout of `kind` and returns true; returns false without
// calling it when the kind has no record layout (kind 0), when its records
// do not carry the attribute's field, or when AttrID is not in the table.
// This is where a run's layout and attribute are resolved, once, before the
// scan.
template <typename Record, int AttrID, typename Fn>
bool call_if_carried(Fn &fn)
{
    if constexpr (kCarries<Record, AttrID>) {
        fn((const Record *)nullptr, std::integral_constant<int, AttrID>());
        return true;
    } else {
        return false;
    }
}

template <typename Record, typename Fn>
bool with_attribute(int16_t AttrID, Fn &fn)
{
    switch (AttrID) {
#define QUORVANE_ATTRIBUTE_CASE(id, ...) \
    case id: return call_if_carried<Record, id>(fn);
        QUORVANE_ATTRIBUTES(QUORVANE_ATTRIBUTE_CASE)
#undef QUORVANE_ATTRIBUTE_CASE
    }
    return false;
}

template <typename Fn>
bool with_layout_and_attribute(LASType kind, int16_t AttrID, Fn &&fn)
{
    switch (las_kind_format(kind)) {
#define QUORVANE_LAYOUT_CASE(format, Record, gps) \
    case format: return with_attribute<Record>(AttrID, fn);
        KELVORY_LAS_LAYOUTS(QUORVANE_LAYOUT_CASE)
#undef QUORVANE_LAYOUT_CASE
    }
    return false;
}

// The coordinate axis of attribute AttrID ('X', 'Y' or 'Z'), or 0.
char attribute_axis(int16_t AttrID);

#endif
