#include "matrix/arithmetic.h"

#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <vector>

#include "matrix/dense_kernels.h"
#include "matrix/fp_guard.h"

namespace pelvanor {

// The arithmetic below indexes the storage directly instead of going through
// CtiPrvek/ZapisPrvek element by element: every loop stays inside the
// operands' sizes, so the checked access could never refuse, and the values
// and their order of evaluation are the same.

MatPtr MatCopy(const Matice& A) {
    MatPtr R = NewMatrix(A.r, A.s);
    R->prvky = A.prvky;
    return R;
}

MatPtr MatScale(const Matice& A, long double s) {
    MatPtr R = NewMatrix(A.r, A.s);
    const std::size_t count = A.prvky.size();
    const long double* a = A.prvky.data();
    long double* out = R->prvky.data();
    for (std::size_t e = 0; e < count; ++e) out[e] = a[e] * s;
    return R;
}

MatPtr MatTranspose(const Matice& A) {
    MatPtr R = NewMatrix(A.s, A.r);
    for (int i = 1; i <= A.r; ++i) {
        const long double* row = A.Row(i);
        for (int j = 1; j <= A.s; ++j) R->SetPrvek(j, i, row[j - 1]);
    }
    return R;
}

MatPtr MatAdd(const Matice& A, const Matice& B) {
    // No caller adds matrices of different sizes; reading past B would be a
    // fault, so such a call is reported as an error of the computation.
    if (A.r != B.r || A.s != B.s) throw std::invalid_argument("MatAdd: operand sizes differ");
    MatPtr R = NewMatrix(A.r, A.s);
    const std::size_t count = A.prvky.size();
    const long double* a = A.prvky.data();
    const long double* b = B.prvky.data();
    long double* out = R->prvky.data();
    for (std::size_t e = 0; e < count; ++e) out[e] = a[e] + b[e];
    return R;
}

MatPtr MatMul(const Matice& A, const Matice& B) {
    if (A.s != B.r) return nullptr;
    const int rows = A.r;
    const int inner = A.s;
    const int cols = B.s;
    MatPtr R = NewMatrix(A.r, B.s);
    if (rows == 0 || cols == 0) return R;

    // B's columns as contiguous rows, so that every element of the product
    // is one dot product over two contiguous arrays with its running sum in
    // a register.  Each element is summed as sum = A(i,k)*B(k,j) + sum for
    // k = 1..K, starting from 0.
    std::vector<long double> bt(static_cast<std::size_t>(cols) * inner);
    for (int k = 0; k < inner; ++k) {
        const long double* brow = B.prvky.data() + static_cast<std::size_t>(k) * cols;
        for (int j = 0; j < cols; ++j) bt[static_cast<std::size_t>(j) * inner + k] = brow[j];
    }
    DotProducts(A.prvky.data(), rows, bt.data(), cols, inner, R->prvky.data(), cols);
    return R;
}

std::int64_t RoundId(long double value) {
    // llrint rounds in the current mode (nearest, ties to even) and raises
    // the invalid-operation fault for a value outside 64 bits or a NaN.
    return static_cast<std::int64_t>(std::llrint(value));
}

bool FindRow(std::int64_t id, const Matice* M, std::int32_t& row) {
    row = 0;
    if (!M) return false;
    std::int32_t found = 0;
    const bool ok = GuardedComputation([&] {
        if (M->r > 0 && M->s == 0) return false;  // rows without a number column
        for (int i = 1; i <= M->r; ++i)
            if (RoundId(M->GetPrvek(i, 1)) == id) found = i;
        return true;
    });
    if (ok) row = found;
    return ok;
}

bool CopyBlock(Matice& Dest, std::int32_t destRow, std::int32_t destCol, const Matice& Src,
               std::int32_t srcRowFirst, std::int32_t srcRowLast, std::int32_t srcColFirst,
               std::int32_t srcColLast) {
    // Positions are formed in 64 bits so that no index arithmetic can wrap.
    const auto inside = [](long long i, long long j, const Matice& m) {
        return i >= 1 && i <= m.r && j >= 1 && j <= m.s;
    };
    return GuardedComputation([&] {
        for (long long c = srcColFirst; c <= srcColLast; ++c) {
            const long long dc = destCol + (c - srcColFirst);
            for (long long r = srcRowFirst; r <= srcRowLast; ++r) {
                const long long dr = destRow + (r - srcRowFirst);
                if (!inside(r, c, Src) || !inside(dr, dc, Dest)) return false;
                Dest.SetPrvek(static_cast<std::int32_t>(dr), static_cast<std::int32_t>(dc),
                              Src.GetPrvek(static_cast<std::int32_t>(r), static_cast<std::int32_t>(c)));
            }
        }
        return true;
    });
}

bool CompactRows(MatPtr& M) {
    if (!M) return false;
    MatPtr result;
    bool kept = false;
    const bool ok = GuardedComputation([&] {
        const Matice& src = *M;
        std::vector<int> keep;
        if (src.r > 0 && src.s == 0) return false;  // rows without a number column
        for (int i = 1; i <= src.r; ++i)
            if (RoundId(src.GetPrvek(i, 1)) > 0) keep.push_back(i);
        if (keep.empty()) {
            result = NewMatrix(1, 1);
            return true;
        }
        result = NewMatrix(static_cast<std::uint16_t>(keep.size()), src.s);
        std::int32_t next = 1;
        for (int i : keep) {
            if (src.s > 0 && !CopyBlock(*result, next, 1, src, i, i, 1, src.s)) return false;
            ++next;
        }
        kept = true;
        return true;
    });
    // On a failed scan the table is left as it was: nothing has been lost.
    if (!ok) return false;
    M = std::move(result);
    return kept;
}

bool ScaleToLength(const Matice& V, MatPtr& Result, long double L) {
    Result = NewMatrix(1, 3);
    Matice& out = *Result;
    if (V.r < 1 || V.s < 3) return false;
    return GuardedComputation([&] {
        const long double v1 = V.GetPrvek(1, 1);
        const long double v2 = V.GetPrvek(1, 2);
        const long double v3 = V.GetPrvek(1, 3);
        // The square root is the correctly rounded power 0.5.
        const long double length = std::sqrt(v1 * v1 + v2 * v2 + v3 * v3);
        long double factor = L / length;
        FpBarrier(factor);
        // A zero vector (or an overflowing one) faults here; the result then
        // stays the zero matrix instead of receiving infinities.
        if (FaultRaisedSinceGuard()) return false;
        out.SetPrvek(1, 1, v1 * factor);
        out.SetPrvek(1, 2, v2 * factor);
        out.SetPrvek(1, 3, v3 * factor);
        return true;
    });
}

}  // namespace pelvanor
