// The eight sorts on arbitrary arrays: both families agree, keys ascend where
// there is no NaN, and the index array maps each key back to its origin.
#include "Kelvory_LiDAR.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

template <typename Key>
void check_family(const std::vector<Key> &keys, void (*plain)(Key *, int32_t, int32_t *),
                  void (*deep)(Key *, int32_t, int32_t *))
{
    const int32_t n = (int32_t)keys.size();
    std::vector<Key> a = keys, b = keys;
    std::vector<int32_t> ia(n), ib(n);
    for (int32_t i = 0; i < n; i++)
        ia[i] = ib[i] = i;
    plain(a.data(), n, ia.data());
    deep(b.data(), n, ib.data());
    if (a != b && memcmp(a.data(), b.data(), n * sizeof(Key)) != 0)
        abort();
    if (ia != ib)
        abort();
    std::vector<bool> seen(n, false);
    bool nan = false;
    for (int32_t i = 0; i < n; i++) {
        if (ia[i] < 0 || ia[i] >= n || seen[ia[i]])
            abort();
        seen[ia[i]] = true;
        if (memcmp(&a[i], &keys[ia[i]], sizeof(Key)) != 0)
            abort();
        nan = nan || std::isnan((double)a[i]);
    }
    for (int32_t i = 1; i < n && !nan; i++)
        if (a[i - 1] > a[i])
            abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the key type; the rest are the keys.
    if (data[0] & 1) {
        std::vector<int32_t> keys((size - 1) / 4);
        if (!keys.empty())
            memcpy(keys.data(), data + 1, keys.size() * 4);
        check_family<int32_t>(keys, l_quicksort, l_parallel_quicksort);
    } else {
        std::vector<double> keys((size - 1) / 8);
        if (!keys.empty())
            memcpy(keys.data(), data + 1, keys.size() * 8);
        check_family<double>(keys, d_quicksort, d_parallel_quicksort);
    }
    return 0;
}
