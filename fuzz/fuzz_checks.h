#pragma once
// Properties shared by the fuzz targets.

#include <cstdint>
#include <cstring>

#include "matrix/matice.h"

namespace pelvanor::fuzz {

// Classification of an x87 long double on its bits, so that the answer does
// not depend on the code under test's own classification.
struct X87Bits {
    unsigned exponent = 0;
    bool integer_bit = false;
};
inline X87Bits BitsOf(long double v) {
    unsigned char bytes[sizeof(long double)] = {};
    std::memcpy(bytes, &v, sizeof v);
    std::uint64_t mantissa = 0;
    std::memcpy(&mantissa, bytes, 8);
    return {(static_cast<unsigned>(bytes[9] & 0x7f) << 8) | bytes[8], (mantissa >> 63) != 0};
}

// A finite number in the encoding the hardware and every conversion
// produce: a normal number (integer bit set), a denormal or zero (exponent
// 0, integer bit clear).
inline bool IsOrdinary(long double v) {
    const X87Bits b = BitsOf(v);
    if (b.exponent == 0x7fff) return false;
    return b.exponent == 0 ? !b.integer_bit : b.integer_bit;
}

// Not a number for the hardware: infinities, NaNs and the encodings it
// rejects as invalid operands (pseudo-infinities, pseudo-NaNs and unnormals,
// a nonzero exponent with the integer bit clear).  A pseudo-denormal
// (exponent 0, integer bit set) is neither this nor ordinary: no
// computation or conversion produces one, and library functions disagree
// on its value.
inline bool IsNonNumber(long double v) {
    const X87Bits b = BitsOf(v);
    return b.exponent == 0x7fff || (b.exponent != 0 && !b.integer_bit);
}

inline bool AllOrdinary(const Matice& m) {
    for (long double v : m.prvky)
        if (!IsOrdinary(v)) return false;
    return true;
}

inline bool SameBits(long double a, long double b) { return std::memcmp(&a, &b, 10) == 0; }

}  // namespace pelvanor::fuzz
