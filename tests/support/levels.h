// The kernel levels as the tests iterate them: every level from the level
// table, with its documented name, and a fixture whose cases run once per
// level but the scalar definition, skipped with the reason where this
// processor or build lacks the level.
#ifndef TEST_LEVELS_H
#define TEST_LEVELS_H

#include "internal/kernel_levels.h"

#include <gtest/gtest.h>

#include <iterator>
#include <ostream>
#include <string>

#define TEST_LEVEL_OF_ROW(level, ...) KernelLevel::level,
inline const KernelLevel kLevels[] = {KERNEL_LEVELS(TEST_LEVEL_OF_ROW)};
#undef TEST_LEVEL_OF_ROW
// The names are a documented interface (README, QUORVANE_KERNEL).
inline const char *const kLevelNames[] = {"scalar", "portable", "sse2", "sse41", "avx"};
static_assert(std::size(kLevels) == std::size(kLevelNames), "every level has its documented name");

inline const char *name_of(KernelLevel level)
{
    return kLevelNames[(int)level];
}

// GoogleTest names a level by its name.
inline void PrintTo(KernelLevel level, std::ostream *os)
{
    *os << name_of(level);
}

class EachLevel : public ::testing::TestWithParam<KernelLevel> {
protected:
    void SetUp() override
    {
        if (!kernel_level_available(GetParam()))
            GTEST_SKIP() << "this processor or build lacks the " << name_of(GetParam()) << " level";
    }
};

inline std::string level_test_name(const ::testing::TestParamInfo<KernelLevel> &info)
{
    return name_of(info.param);
}

#define INSTANTIATE_EACH_LEVEL(suite)                                                                 \
    INSTANTIATE_TEST_SUITE_P(suite, EachLevel, ::testing::ValuesIn(std::begin(kLevels) + 1, std::end(kLevels)), \
                             level_test_name)

#endif
