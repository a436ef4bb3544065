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

// Everything else: infinities, NaNs and the encodings no computation or
// conversion produces (pseudo-infinities, pseudo-NaNs, unnormals with a
// nonzero exponent and the integer bit clear, pseudo-denormals with exponent
// 0 and the integer bit set).  The number formats write all of them as "?".
inline bool IsNonNumber(long double v) { return !IsOrdinary(v); }

inline bool AllOrdinary(const Matice& m) {
    for (long double v : m.prvky)
        if (!IsOrdinary(v)) return false;
    return true;
}

inline bool SameBits(long double a, long double b) { return std::memcmp(&a, &b, 10) == 0; }

}  // namespace pelvanor::fuzz
