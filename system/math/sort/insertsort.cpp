#include "system/math/sort/insertsort.h"

#include "system/debug/debugMisuse.h"

namespace {

// Index of the smallest of arr[from..n-1]; the candidate moves only to a
// strictly smaller value, so the first of equal values wins (this also keeps
// a NaN candidate where it is, since no comparison with it is true).
int fmFloat(const float* arr, int from, int n)
{
    int candidate = from;
    for (int i = from + 1; i < n; i++)
        if (arr[candidate] > arr[i])
            candidate = i;
    return candidate;
}

} // namespace

void insertSortFloat(float* arr, int n)
{
    if (!arr && n > 0) {
        debugMisuse(__func__, "no array but a count of %d", n);
        return;
    }
    for (int s = 0; s < n - 1; s++) {
        int smallest = fmFloat(arr, s, n);
        float kept = arr[s];
        arr[s] = arr[smallest];
        arr[smallest] = kept;
    }
}
