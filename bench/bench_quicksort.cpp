// Keys per second of the library's index-carrying quicksorts for random,
// sorted, reverse-sorted and all-equal keys of both types, next to std::sort
// of (key, index) pairs on the same keys in the same run. The depth-counting
// entries run the same sort as the plain ones, so only the plain ones are
// timed.
//
// Usage: bench_quicksort [count]   (count defaults to 10,000,000)
#include "Kelvory_LiDAR.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <random>
#include <utility>
#include <vector>

namespace {

enum Shape { kRandom, kSorted, kReversed, kAllEqual };
const char *const kShapeNames[] = {"random", "sorted", "reverse-sorted", "all-equal"};

int32_t random_key(std::mt19937_64 &gen, int32_t)
{
    return (int32_t)(uint32_t)gen();
}

double random_key(std::mt19937_64 &gen, double)
{
    return std::uniform_real_distribution<double>(-1e6, 1e6)(gen);
}

template <typename Key>
std::vector<Key> make_keys(int32_t n, Shape shape)
{
    std::mt19937_64 gen(12345);
    std::vector<Key> keys(n);
    for (int32_t k = 0; k < n; k++) {
        switch (shape) {
        case kRandom: keys[k] = random_key(gen, Key()); break;
        case kSorted: keys[k] = (Key)k; break;
        case kReversed: keys[k] = (Key)(n - 1 - k); break;
        case kAllEqual: keys[k] = (Key)7; break;
        }
    }
    return keys;
}

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Times one library sort on a fresh copy of the keys and indices 0..n-1;
// returns keys per second, or 0 when the result is not in order.
template <typename Key>
double library_rate(void (*sort)(Key *, int32_t, int32_t *), const std::vector<Key> &input)
{
    std::vector<Key> keys = input;
    std::vector<int32_t> ind(input.size());
    std::iota(ind.begin(), ind.end(), 0);
    auto start = std::chrono::steady_clock::now();
    sort(keys.data(), (int32_t)keys.size(), ind.data());
    double s = seconds_since(start);
    return std::is_sorted(keys.begin(), keys.end()) ? keys.size() / s : 0.0;
}

template <typename Key>
double std_sort_rate(const std::vector<Key> &input)
{
    std::vector<std::pair<Key, int32_t>> pairs(input.size());
    for (size_t k = 0; k < input.size(); k++)
        pairs[k] = {input[k], (int32_t)k};
    auto start = std::chrono::steady_clock::now();
    std::sort(pairs.begin(), pairs.end(),
              [](const std::pair<Key, int32_t> &a, const std::pair<Key, int32_t> &b) {
                  return a.first < b.first;
              });
    double s = seconds_since(start);
    return pairs.size() / s;
}

template <typename Key>
void bench_type(const char *type, void (*sort)(Key *, int32_t, int32_t *), int32_t n)
{
    for (Shape shape : {kRandom, kSorted, kReversed, kAllEqual}) {
        std::vector<Key> keys = make_keys<Key>(n, shape);
        double a = library_rate(sort, keys);
        double b = std_sort_rate(keys);
        printf("%-7s %-15s %12.1f %12.1f\n", type, kShapeNames[shape], a / 1e6, b / 1e6);
        fflush(stdout);
    }
}

}  // namespace

int main(int argc, char **argv)
{
    int32_t n = argc > 1 ? (int32_t)atol(argv[1]) : 10000000;
    if (n < 1 || n > (1 << 30)) {
        printf("count must be between 1 and 1073741824\n");
        return 1;
    }
    printf("%d keys; million keys per second (0.0 = result out of order)\n\n", n);
    printf("%-7s %-15s %12s %12s\n", "keys", "input", "library", "std::sort");
    bench_type<int32_t>("int32", l_quicksort, n);
    bench_type<double>("double", d_quicksort, n);
    return 0;
}
