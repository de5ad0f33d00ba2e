// The chief header is usable from C with the same record layouts.
#include <gtest/gtest.h>

extern "C" int c_record_sizes_match(void);

namespace {

TEST(Records, header_compiles_as_c_with_the_same_sizes)
{
    EXPECT_TRUE(c_record_sizes_match());
}

}  // namespace
