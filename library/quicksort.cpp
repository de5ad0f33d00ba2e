// Quicksorts that carry a companion index array through every exchange.
//
// The depth-counting family's `deep` names how many upper levels it
// partitions before handing ranges to the plain sort. Both use the same
// partition, and the two parts of a split are disjoint, so which routine
// sorts a part, and in which order, changes neither the keys nor the
// indices: both families run the one sort below, and `deep` is accepted
// without changing the arrangement. The sort handles the smaller part of
// each split by a nested call and loops on the larger one, so the nesting
// never exceeds log2(count) levels, whatever the input, while the result is
// that of sorting the left part and then the right part recursively.
#include "Kelvory_LiDAR.h"

namespace {

// The bounds left over after partitioning p[left..right]: p[left..j] holds
// keys not greater than the pivot, p[i..right] keys not less, and j < i.
struct Split {
    int32_t j;
    int32_t i;
};

template <typename Key>
void exchange(Key *p, int32_t *p_ind, int32_t a, int32_t b)
{
    Key k = p[a];
    p[a] = p[b];
    p[b] = k;
    int32_t n = p_ind[a];
    p_ind[a] = p_ind[b];
    p_ind[b] = n;
}

// Middle-element pivot (a copy), scans that stop at keys equal to it, and an
// exchange of every pair the scans stop at, equal keys and NaN included.
// The pivot index is (left + right) / 2, computed without forming the sum.
template <typename Key>
Split partition(Key *p, int32_t left, int32_t right, int32_t *p_ind)
{
    int32_t i = left, j = right;
    const Key v = p[left + (right - left) / 2];
    do {
        while (p[i] < v && i < right)
            i++;
        while (p[j] > v && j > left)
            j--;
        if (i <= j) {
            exchange(p, p_ind, i, j);
            i++;
            j--;
        }
    } while (i <= j);
    return Split{j, i};
}

// A range of one element is left as it is: partitioning it only exchanges the
// element with itself.
template <typename Key>
void plain_sort(Key *p, int32_t left, int32_t right, int32_t *p_ind)
{
    while (left < right) {
        Split s = partition(p, left, right, p_ind);
        if (s.j - left < right - s.i) {
            plain_sort(p, left, s.j, p_ind);
            left = s.i;
        } else {
            plain_sort(p, s.i, right, p_ind);
            right = s.j;
        }
    }
}

}  // namespace

void l_qs(int32_t *p, int32_t left, int32_t right, int32_t *p_ind)
{
    plain_sort(p, left, right, p_ind);
}

void d_qs(double *p, int32_t left, int32_t right, int32_t *p_ind)
{
    plain_sort(p, left, right, p_ind);
}

// `deep` only names the levels the depth-counting routine would partition
// itself; any value, negative ones included, gives the plain arrangement.
void l_parallel_qs(int32_t *p, int32_t left, int32_t right, int32_t *p_ind, int32_t /*deep*/)
{
    plain_sort(p, left, right, p_ind);
}

void d_parallel_qs(double *p, int32_t left, int32_t right, int32_t *p_ind, int32_t /*deep*/)
{
    plain_sort(p, left, right, p_ind);
}

// The entries sort p[0..count-1]; a count of 0 is an empty range.
void l_quicksort(int32_t *p, int32_t count, int32_t *p_ind)
{
    if (count > 0)
        plain_sort(p, 0, count - 1, p_ind);
}

void d_quicksort(double *p, int32_t count, int32_t *p_ind)
{
    if (count > 0)
        plain_sort(p, 0, count - 1, p_ind);
}

void l_parallel_quicksort(int32_t *p, int32_t count, int32_t *p_ind)
{
    if (count > 0)
        plain_sort(p, 0, count - 1, p_ind);
}

void d_parallel_quicksort(double *p, int32_t count, int32_t *p_ind)
{
    if (count > 0)
        plain_sort(p, 0, count - 1, p_ind);
}
