#ifndef TESSELLUNE_TEXTFOLD_H
#define TESSELLUNE_TEXTFOLD_H

// Folds UTF-8 text to what the raster font can draw (codes 32..126): Latin
// letters with diacritics become their base letters (e -> e, ss, OE, ...),
// typographic quotes, dashes and spaces their plain forms; everything else,
// including control codes and broken sequences, is dropped. Pure code.

#include <cstddef>

// Writes at most outSize - 1 characters and a NUL (a fold is never cut in
// the middle); returns the length written.
size_t textFoldToAscii(const char* utf8, char* out, size_t outSize);

#endif
