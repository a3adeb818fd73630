#ifndef TESSELLUNE_TEST_LITTLEENDIAN_H
#define TESSELLUNE_TEST_LITTLEENDIAN_H

// Data blocks and drawing files as they lie on disk: little-endian 32-bit
// words and floats, built word by word so a test can also write what no
// saver would (cut-off records, huge counts, NaN widths).

#include <cstdint>
#include <cstring>
#include <vector>

struct littleEndian_t {
  std::vector<unsigned char> bytes;

  littleEndian_t &word(uint32_t w) {
    for (int i = 0; i < 4; i++)
      bytes.push_back(uint8_t(w >> (8 * i)));
    return *this;
  }
  littleEndian_t &f(float value) {
    uint32_t bits;
    memcpy(&bits, &value, sizeof bits);
    return word(bits);
  }
};

#endif
