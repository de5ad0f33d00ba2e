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
// A PE image read from its file: each RVA is found in the section that holds
// it, and the data directories lie at the end of the optional header.
struct PeImage {
    std::vector<unsigned char> f;
    explicit PeImage(const std::string &path) : f(read_file(path)) {}
    uint32_t u16(size_t at) const { return at + 2 <= f.size() ? (uint32_t)(f[at] | f[at + 1] << 8) : 0u; }
    uint32_t u32(size_t at) const { return at + 4 <= f.size() ? u16(at) | u16(at + 2) << 16 : 0u; }
    size_t pe() const { return u32(0x3c); }
    size_t offset_of(uint32_t rva) const
    {
        const size_t sections = pe() + 24 + u16(pe() + 20);
        for (uint32_t k = 0; k < u16(pe() + 6); k++) {
            const size_t s = sections + 40 * k;
            const uint32_t va = u32(s + 12), size = u32(s + 8), raw = u32(s + 20);
            if (rva >= va && rva < va + size)
                return raw + (rva - va);
        }
        return 0;
    }
    // Where data directory `k` (0 exports, 1 imports) lies in the file.
    size_t directory(int k) const
    {
        const size_t optional = pe() + 24;
        const bool pe32_plus = u16(optional) == 0x20b;
        return offset_of(u32(optional + (pe32_plus ? 112 : 96) + 8 * k));
    }
    std::string text_at(uint32_t rva) const
    {
        const size_t at = offset_of(rva);
        return at && at < f.size() ? std::string((const char *)&f[at], strnlen((const char *)&f[at], f.size() - at))
                                   : std::string();
    }
};

// The names in a PE image's export table.
std::set<std::string> defined_dynamic_symbols(const std::string &path)
{
    const PeImage image(path);
    std::set<std::string> names;
    const size_t dir = image.directory(0);
    EXPECT_NE(dir, 0u) << path << " has no export table";
    if (dir == 0)
        return names;
    const size_t count = image.u32(dir + 24), table = image.offset_of(image.u32(dir + 32));
    for (size_t i = 0; i < count; i++)
        names.insert(image.text_at(image.u32(table + 4 * i)));
    return names;
}

// The DLLs a PE image imports from: one 20-byte descriptor each, the name's
// RVA at byte 12, and a descriptor of zeros at the end.
std::set<std::string> imported_dlls(const std::string &path)
{
    const PeImage image(path);
    std::set<std::string> names;
    for (size_t at = image.directory(1); at && image.u32(at + 12) != 0; at += 20)
        names.insert(image.text_at(image.u32(at + 12)));
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
    // A versioned name (stdout@GLIBC_2.2.5) is the C library's data, copied
    // into the executable by the linker, not an export of its own.
    for (const std::string &name : names)
        if (name.rfind("_", 0) != 0 && !expected.count(name) && name.find("__") == std::string::npos &&
            name.find('@') == std::string::npos)
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

// What the build gives each image of its platform: DEP, and ASLR from a 64-bit
// base with the relocations it needs (PE); position independence, relocations
// read-only and bound at start, the stack protector and fortified calls (ELF).
TEST(Hardening, program_and_library_carry_the_platform_protections)
{
    for (const std::string image : {QUORVANE_EXE, KELVORY_LIDAR_FILE}) {
        SCOPED_TRACE(image);
#ifdef _WIN32
        const PeImage pe(image);
        EXPECT_EQ(pe.u16(pe.pe() + 24 + 70) & 0x160, 0x160u)
            << "DllCharacteristics lack HIGH_ENTROPY_VA (0x20), DYNAMIC_BASE (0x40) or NX_COMPAT (0x100)";
        EXPECT_NE(pe.u32(pe.pe() + 24 + 112 + 8 * 5 + 4), 0u) << "no base relocation table";
#else
        const std::vector<unsigned char> f = read_file(image);
        const auto u = [&f](size_t at, size_t n) {  // a field of n bytes, little-endian as the machine
            uint64_t v = 0;
            return at + n <= f.size() ? (memcpy(&v, &f[at], n), v) : v;
        };
        EXPECT_EQ(u(16, 2), 3u) << "not ET_DYN: not position-independent";
        bool relro = false, now = false;  // PT_GNU_RELRO; in PT_DYNAMIC, DT_FLAGS BIND_NOW or DT_FLAGS_1 NOW
        for (size_t p = u(32, 8), k = 0; k < u(56, 2); k++, p += 56) {
            relro = relro || u(p, 4) == 0x6474e552;
            for (size_t d = u(p + 8, 8); u(p, 4) == 2 && d < u(p + 8, 8) + u(p + 32, 8); d += 16)
                now = now || (u(d, 8) == 30 && u(d + 8, 8) & 8) || (u(d, 8) == 0x6ffffffb && u(d + 8, 8) & 1);
        }
        EXPECT_TRUE(relro) << "no GNU_RELRO segment";
        EXPECT_TRUE(now) << "no BIND_NOW";
        bool protector = false, fortified = false;  // by the symbols' names, NUL-terminated in string tables
        std::istringstream strings(std::string(f.begin(), f.end()));
        for (std::string n; std::getline(strings, n, '\0');) {
            protector = protector || n == "__stack_chk_fail";
            fortified = fortified || (n.size() > 6 && n.rfind("__", 0) == 0 && !n.compare(n.size() - 4, 4, "_chk"));
        }
        EXPECT_TRUE(protector) << "no stack protector (__stack_chk_fail)";
        EXPECT_TRUE(fortified || !QUORVANE_FORTIFY) << "no fortified call (__*_chk)";
#endif
    }
    if (!QUORVANE_FORTIFY)
        GTEST_SKIP() << "no fortified calls looked for: a build without the optimizer or with the sanitizers has none";
}

#ifdef _WIN32
// The GCC, C++ and thread runtimes are linked in: the executable and the DLL
// run on a Windows machine that has nothing but Windows.
TEST(Exports, windows_images_import_from_system_dlls_only)
{
    const std::string exe = QUORVANE_EXE, dll = exe.substr(0, exe.rfind('/')) + "/Kelvory_LiDAR.dll";
    // ADVAPI32.dll: the stack protector's runtime, linked in, seeds its canary there.
    const std::set<std::string> system = {"ADVAPI32.dll", "KERNEL32.dll", "msvcrt.dll"};
    EXPECT_EQ(imported_dlls(exe), system);
    EXPECT_EQ(imported_dlls(dll), system);
}
#endif

}  // namespace
