// The tests' child program: runs one library routine, named on its command
// line, in a process of its own, so that a test sees exactly what it prints
// and how the process ends, also when the routine ends it.
//   test_child <result file> <request> [arguments...]
// When the routine returns, its result is written to the result file as
// decimal text and the child ends with status 0; a routine that ends the
// process leaves no result file. Nothing is printed but what the routine
// prints.
#include "Kelvory_LiDAR.h"
#include "internal/block_areas.h"
#include "internal/kernel_levels.h"
#include "internal/record_batches.h"
#include "internal/status_routines.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <string>
#include <utility>
#include <vector>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

// Every sort on an empty count or range, given arrays at `keys` and `ind`.
// The range routines get left 6, right 2, a range that would reorder
// descending keys if it were taken as 2..6.
void sort_nothing(int32_t *lk, double *dk, int32_t *ind)
{
    l_quicksort(lk, 0, ind);
    d_quicksort(dk, 0, ind);
    l_parallel_quicksort(lk, 0, ind);
    d_parallel_quicksort(dk, 0, ind);
    l_qs(lk, 6, 2, ind);
    d_qs(dk, 6, 2, ind);
    l_parallel_qs(lk, 6, 2, ind, 15);
    d_parallel_qs(dk, 6, 2, ind, -1);
}

// The sorts on empty counts and ranges with descending keys and indices:
// 0 when they are left as they were.
int sort_nothing_on_sentinel_arrays()
{
    int32_t keys[10], ind[10];
    double dkeys[10];
    for (int i = 0; i < 10; i++) {
        keys[i] = 9 - i;
        ind[i] = 19 - i;
        dkeys[i] = 9.5 - i;
    }
    sort_nothing(keys, dkeys, ind);
    for (int i = 0; i < 10; i++)
        if (keys[i] != 9 - i || ind[i] != 19 - i || dkeys[i] != 9.5 - i)
            return 1;
    return 0;
}

// The sorts on empty counts and ranges with their arrays in a page that may
// not be read: a sort that reads an element ends the child with a fault.
int sort_nothing_in_an_unreadable_page()
{
#ifdef _WIN32
    void *m = VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS);
    if (!m)
        return 1;
#else
    const long page = sysconf(_SC_PAGESIZE);
    void *m = mmap(nullptr, (size_t)page, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m == MAP_FAILED)
        return 1;
#endif
    sort_nothing((int32_t *)m, (double *)m, (int32_t *)m);
    return 0;
}

// Keys whose middle element is the maximum of every range the sort meets, so
// every split leaves a left part one element shorter than the range; sorted
// by both families and both key types. Returns non-null when every result
// is 0..n-1 with its indices pointing back at the keys.
void *sort_middle_pivot_killer(void *)
{
    const int32_t n = 20000;
    std::vector<int32_t> slot(n), keys(n), i1(n);
    std::iota(slot.begin(), slot.end(), 0);
    std::iota(i1.begin(), i1.end(), 0);
    for (int32_t k = n - 1; k >= 1; k--) {
        keys[slot[k / 2]] = k;
        std::swap(slot[k / 2], slot[k]);
    }
    keys[slot[0]] = 0;
    std::vector<int32_t> l1 = keys, l2 = keys, i2 = i1, i3 = i1, i4 = i1;
    std::vector<double> d1(keys.begin(), keys.end()), d2 = d1;
    l_quicksort(l1.data(), n, i1.data());
    d_quicksort(d1.data(), n, i2.data());
    l_parallel_qs(l2.data(), 0, n - 1, i3.data(), -1);
    d_parallel_qs(d2.data(), 0, n - 1, i4.data(), INT32_MAX);
    for (int32_t k = 0; k < n; k++) {
        if (l1[k] != k || d1[k] != k || l2[k] != k || d2[k] != k)
            return nullptr;
        for (const std::vector<int32_t> *ind : {&i1, &i2, &i3, &i4})
            if (keys[(*ind)[k]] != k)
                return nullptr;
    }
    static int sorted;
    return &sorted;
}

// The middle-pivot killer on a thread with a 256 KiB stack: 0 when sorted,
// 1 when a result is out of order, 2 without a thread.
#ifdef _WIN32
DWORD WINAPI sort_middle_pivot_killer_thread(void *sorted)
{
    *(void **)sorted = sort_middle_pivot_killer(nullptr);
    return 0;
}
#endif

int sort_middle_pivot_killer_on_a_small_stack()
{
#ifdef _WIN32
    void *sorted = nullptr;
    HANDLE t = CreateThread(nullptr, 256 * 1024, sort_middle_pivot_killer_thread, &sorted,
                            STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!t || WaitForSingleObject(t, INFINITE) != WAIT_OBJECT_0)
        return 2;
    CloseHandle(t);
    return sorted ? 0 : 1;
#else
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 256 * 1024);
    pthread_t t;
    void *sorted = nullptr;
    if (pthread_create(&t, &attr, sort_middle_pivot_killer, nullptr) != 0 || pthread_join(t, &sorted) != 0)
        return 2;
    return sorted ? 0 : 1;
#endif
}

KernelLevel level_named(const char *name)
{
    KernelLevel level = KernelLevel::scalar;
    if (!kernel_level_named(name, &level))
        exit(3);
    return level;
}

// update_header_in with an area of `size` bytes (at most what the area holds).
int update_in_area_of(const char *path, size_t size)
{
    unsigned char *area = alloc_blocks(kBatchRecords * sizeof(LAS12fm3));
    if (!area || size > area_bytes(kBatchRecords * sizeof(LAS12fm3)))
        exit(3);
    const int result = update_header_in(path, area, size, best_kernel_level());
    free_blocks(area);
    return result;
}

// Runs `request` on `a`, the arguments after it; exits on a request it does
// not know or too few arguments.
int run(const std::string &request, int n, char **a)
{
    auto need = [n](int count) {
        if (n < count)
            exit(3);
    };
    if (request == "check_las") return need(1), check_las(a[0]);
    if (request == "file_access") return need(1), file_access(a[0]);
    if (request == "check_file_extension") return need(2), check_file_extension(a[0], a[1]);
    if (request == "error_msg") return need(2), error_msg(atoi(a[0]), a[1]), 0;
    if (request == "check_numeric_argument") return need(1), check_numeric_argument(a[0]), 0;
    if (request == "check_YN") return need(1), check_YN(a[0]);
    if (request == "check_DEM") return need(1), check_DEM(a[0]), 0;
    if (request == "update_header") return need(1), update_header(a[0]), 0;
    if (request == "update_header_status") return need(2), update_header_status(a[0], level_named(a[1]));
    if (request == "update_header_in") return need(2), update_in_area_of(a[0], strtoul(a[1], nullptr, 10));
    if (request == "sort_nothing_on_sentinel_arrays") return sort_nothing_on_sentinel_arrays();
    if (request == "sort_nothing_in_an_unreadable_page") return sort_nothing_in_an_unreadable_page();
    if (request == "sort_middle_pivot_killer_on_a_small_stack")
        return sort_middle_pivot_killer_on_a_small_stack();
    exit(3);
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 3)
        return 3;
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);  // "\n" alone, as on every platform
#endif
    const int result = run(argv[2], argc - 3, argv + 3);
    fflush(stdout);
    FILE *fp = fopen(argv[1], "w");
    if (!fp || fprintf(fp, "%d\n", result) < 0 || fclose(fp) != 0)
        return 4;
    return 0;
}
