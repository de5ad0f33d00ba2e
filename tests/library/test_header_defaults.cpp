// Default header blocks: exactly the listed bytes are written, the rest of
// the caller's record is kept.
#include "Kelvory_LiDAR.h"
#include "file_compare.h"
#include "las_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

namespace {

typedef std::vector<unsigned char> Bytes;
const Bytes kAll255(LAS_HEADER_SIZE, 255);

// The bytes no initializer writes: GUIDData4[1..7], SystemIdentifier[1..31]
// and GeneratingSoftware[24..31].
bool is_kept_byte(size_t offset)
{
    return (offset >= 17 && offset <= 23) || (offset >= 27 && offset <= 57) ||
           (offset >= 82 && offset <= 89);
}

// `before` with every other byte set to its default, written out byte by
// byte from the file layout: zero unless listed here.
Bytes expected_over(const Bytes &before, unsigned char version_minor)
{
    Bytes b(before.size());
    for (size_t k = 0; k < b.size(); k++)
        b[k] = is_kept_byte(k) ? before[k] : 0;
    memcpy(&b[0], "LASF", 4);
    b[24] = 1;
    b[25] = version_minor;
    memcpy(&b[58], "Kelvory LiDAR Utilities", 23);
    b[94] = 227;  // header size, 94..95
    b[96] = 227;  // offset to point data, 96..99
    const unsigned char one[8] = {0, 0, 0, 0, 0, 0, 240, 63};  // scale factors 1.0
    for (size_t at : {131u, 139u, 147u})
        memcpy(&b[at], one, 8);
    return b;
}

template <typename Header>
Bytes initialized(void (*init)(Header *), const Bytes &before)
{
    Header h;
    memcpy(&h, before.data(), sizeof h);
    init(&h);
    Bytes after(sizeof h);
    memcpy(after.data(), &h, sizeof h);
    return after;
}

TEST(HeaderDefaults, three_layouts_write_the_listed_values_and_keep_the_rest_of_any_record)
{
    Bytes noise(LAS_HEADER_SIZE);
    std::mt19937 gen(7);
    for (unsigned char &c : noise)
        c = (unsigned char)gen();
    for (const Bytes &before : {kAll255, noise}) {
        EXPECT_TRUE(same_las_bytes(initialized(initialize_header10, before), expected_over(before, 0)));
        EXPECT_TRUE(same_las_bytes(initialized(initialize_header11, before), expected_over(before, 1)));
        EXPECT_TRUE(same_las_bytes(initialized(initialize_header12, before), expected_over(before, 2)));
    }
}

TEST(HeaderDefaults, record_of_255s_keeps_46_of_them_and_reads_as_the_listed_texts)
{
    Bytes after = initialized(initialize_header12, kAll255);
    EXPECT_EQ(std::count(after.begin(), after.end(), 255), 46);

    LAS12Header h = header_of(after);
    EXPECT_STREQ(h.SystemIdentifier, "");
    EXPECT_STREQ(h.GeneratingSoftware, "Kelvory LiDAR Utilities");
}

}  // namespace
