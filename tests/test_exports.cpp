// The executable exports every library routine under its plain name, and the
// shared library does the same.
#include "run_tool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <sstream>

namespace {

const char *const kRoutines[] = {
    "check_las", "file_access", "check_file_extension", "error_msg", "update_header",
    "initialize_header10", "initialize_header11", "initialize_header12", "credits",
    "l_qs", "l_quicksort", "d_qs", "d_quicksort", "l_parallel_qs", "l_parallel_quicksort",
    "d_parallel_qs", "d_parallel_quicksort", "check_numeric_argument", "check_YN", "check_DEM"};

#ifdef _WIN32
// The names in a PE image's export table, read from the file: the export
// directory's RVA lies in the optional header, and each RVA is found in the
// section that holds it.
std::set<std::string> defined_dynamic_symbols(const std::string &image)
{
    const std::vector<unsigned char> f = read_file(image);
    auto u16 = [&](size_t at) { return at + 2 <= f.size() ? (uint32_t)(f[at] | f[at + 1] << 8) : 0u; };
    auto u32 = [&](size_t at) { return at + 4 <= f.size() ? u16(at) | u16(at + 2) << 16 : 0u; };
    std::set<std::string> names;
    const size_t pe = u32(0x3c), optional = pe + 24, sections = optional + u16(pe + 20);
    const bool pe32_plus = u16(optional) == 0x20b;
    const uint32_t export_rva = u32(optional + (pe32_plus ? 112 : 96));
    auto offset_of = [&](uint32_t rva) -> size_t {
        for (uint32_t k = 0; k < u16(pe + 6); k++) {
            const size_t s = sections + 40 * k;
            const uint32_t va = u32(s + 12), size = u32(s + 8), raw = u32(s + 20);
            if (rva >= va && rva < va + size)
                return raw + (rva - va);
        }
        return 0;
    };
    const size_t dir = offset_of(export_rva);
    EXPECT_NE(dir, 0u) << image << " has no export table";
    if (dir == 0)
        return names;
    const size_t count = u32(dir + 24), table = offset_of(u32(dir + 32));
    for (size_t i = 0; i < count; i++) {
        const size_t at = offset_of(u32(table + 4 * i));
        if (at && at < f.size())
            names.insert(std::string((const char *)&f[at], strnlen((const char *)&f[at], f.size() - at)));
    }
    return names;
}
#else
std::set<std::string> defined_dynamic_symbols(const std::string &image)
{
    RunResult r = run_program("/bin/sh", {"-c", "nm -D --defined-only " + image});
    EXPECT_EQ(r.status, 0) << r.err;
    std::set<std::string> names;
    std::istringstream lines(r.out);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string a, b, c;
        fields >> a >> b >> c;
        names.insert(c.empty() ? b : c);
    }
    return names;
}
#endif

void expect_all_routines(const std::string &image)
{
    std::set<std::string> names = defined_dynamic_symbols(image);
    for (const char *routine : kRoutines)
        EXPECT_TRUE(names.count(routine)) << routine << " is not exported by " << image;
}

TEST(Exports, executable_exports_every_routine_undecorated)
{
    expect_all_routines(QUORVANE_EXE);
}

TEST(Exports, executable_exports_nothing_else_of_its_own)
{
    std::set<std::string> names = defined_dynamic_symbols(QUORVANE_EXE);
    std::set<std::string> expected(std::begin(kRoutines), std::end(kRoutines));
    for (const std::string &name : names)
        if (name.rfind("_", 0) != 0 && !expected.count(name) && name.find("__") == std::string::npos)
            ADD_FAILURE() << "unexpected export " << name;
}

TEST(Exports, shared_library_exports_every_routine_undecorated)
{
    std::string exe = QUORVANE_EXE;
#ifdef _WIN32
    expect_all_routines(exe.substr(0, exe.rfind('/')) + "/Kelvory_LiDAR.dll");
#else
    expect_all_routines(exe.substr(0, exe.rfind('/')) + "/libKelvory_LiDAR.so");
#endif
}

}  // namespace
