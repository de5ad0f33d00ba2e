// Default header blocks: exactly the listed bytes are written, the rest of
// the caller's record is kept.
#include "Kelvory_LiDAR.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

typedef std::vector<unsigned char> Bytes;

// The bytes no initializer writes: GUIDData4[1..7], SystemIdentifier[1..31]
// and GeneratingSoftware[24..31].
bool is_kept_byte(size_t offset)
{
    return (offset >= 17 && offset <= 23) || (offset >= 27 && offset <= 57) ||
           (offset >= 82 && offset <= 89);
}

// What an initializer leaves in a record that held only zeros, written out
// byte by byte from the file layout.
Bytes zeroed_record_defaults(unsigned char version_minor)
{
    Bytes b(LAS_HEADER_SIZE, 0);
    memcpy(&b[0], "LASF", 4);
    b[24] = 1;
    b[25] = version_minor;
    memcpy(&b[58], "Kelvory LiDAR Utilities", 23);
    b[94] = 227;
    b[96] = 227;
    const unsigned char one[8] = {0, 0, 0, 0, 0, 0, 240, 63};
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

Bytes random_record(unsigned seed)
{
    std::mt19937 gen(seed);
    Bytes b(LAS_HEADER_SIZE);
    for (unsigned char &c : b)
        c = (unsigned char)gen();
    return b;
}

// Every written byte equals the default and every kept byte its old value.
void expect_defaults_over(const Bytes &before, const Bytes &after, unsigned char version_minor)
{
    Bytes defaults = zeroed_record_defaults(version_minor);
    ASSERT_EQ(after.size(), before.size());
    for (size_t k = 0; k < after.size(); k++) {
        if (is_kept_byte(k))
            EXPECT_EQ(after[k], before[k]) << "kept byte " << k;
        else
            EXPECT_EQ(after[k], defaults[k]) << "written byte " << k;
    }
}

TEST(HeaderDefaults, writes_the_listed_values_into_a_zeroed_record)
{
    Bytes zero(LAS_HEADER_SIZE, 0);
    EXPECT_EQ(initialized(initialize_header10, zero), zeroed_record_defaults(0));
    EXPECT_EQ(initialized(initialize_header11, zero), zeroed_record_defaults(1));
    EXPECT_EQ(initialized(initialize_header12, zero), zeroed_record_defaults(2));
}

TEST(HeaderDefaults, keeps_46_bytes_untouched_in_a_record_of_255s)
{
    Bytes full(LAS_HEADER_SIZE, 255);
    Bytes after = initialized(initialize_header12, full);
    size_t still_255 = 0;
    for (size_t k = 0; k < after.size(); k++) {
        EXPECT_EQ(after[k] == 255, is_kept_byte(k)) << "byte " << k;
        still_255 += after[k] == 255;
    }
    EXPECT_EQ(still_255, 46u);
}

TEST(HeaderDefaults, overwrites_everything_else_whatever_the_record_held)
{
    for (unsigned seed = 1; seed <= 20; seed++) {
        Bytes before = random_record(seed);
        expect_defaults_over(before, initialized(initialize_header10, before), 0);
        expect_defaults_over(before, initialized(initialize_header11, before), 1);
        expect_defaults_over(before, initialized(initialize_header12, before), 2);
    }
}

TEST(HeaderDefaults, texts_read_as_empty_system_and_the_suite_name)
{
    Bytes before = random_record(7);
    LAS12Header h;
    memcpy(&h, before.data(), sizeof h);
    initialize_header12(&h);
    EXPECT_STREQ(h.SystemIdentifier, "");
    EXPECT_STREQ(h.GeneratingSoftware, "Kelvory LiDAR Utilities");
}

TEST(HeaderDefaults, three_layouts_differ_only_in_version_minor)
{
    Bytes before = random_record(3);
    Bytes a = initialized(initialize_header10, before);
    Bytes b = initialized(initialize_header11, before);
    Bytes c = initialized(initialize_header12, before);
    EXPECT_EQ((int)a[25], 0);
    EXPECT_EQ((int)b[25], 1);
    EXPECT_EQ((int)c[25], 2);
    a[25] = b[25] = c[25] = 0;
    EXPECT_EQ(a, b);
    EXPECT_EQ(a, c);
}

}  // namespace
