#ifndef TESSELLUNE_INSERTSORT_H
#define TESSELLUNE_INSERTSORT_H

// Sorts arr[0..n-1] ascending in place (a selection sort: among equal values
// the first one found is moved forward first).
void insertSortFloat(float* arr, int n);

#endif
