#include "matrix/least_squares.h"

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <stdexcept>

#include "matrix/arithmetic.h"
#include "matrix/fp_guard.h"
#include "matrix/svd.h"

namespace pelvanor {

namespace {

// A product of operands whose sizes do not chain is an error of the
// computation, never a null matrix travelling on.
MatPtr Need(MatPtr m) {
    if (!m) throw std::invalid_argument("matrix sizes do not match");
    return m;
}

// x^0.5 as the correctly rounded square root; the power of zero is exactly 0
// (also for -0), a negative argument is an invalid operation.
long double PowerHalf(long double x) { return x == 0.0L ? 0.0L : std::sqrt(x); }

// Outputs are handed to the caller only after the step that computed them
// finished without a fault, as if the fault had stopped the computation
// where it happened.
bool Faulted() { return FaultRaisedSinceGuard(); }

// Qxx = (A^T A)^+ and A^T; false when the pseudo-inverse zeroed every
// singular value.
bool NormalPseudoInverse(const Matice& A, MatPtr& At, MatPtr& Qxx) {
    At = MatTranspose(A);
    MatPtr N = Need(MatMul(*At, A));
    bool flag = false;
    Qxx = PseudoInverse(*N, flag);
    return flag;
}

// The body of SolveNormal; on success Q holds (A^T A)^+.
bool SolveBody(const Matice& A, const Matice& l, MatPtr& solution, MatPtr& Q) {
    if (l.r != A.r) return false;
    MatPtr At;
    if (!NormalPseudoInverse(A, At, Q)) return false;
    MatPtr T = Need(MatMul(*Q, *At));
    solution = Need(MatMul(*T, l));
    return true;
}

// The body of ResidualsAndAccuracy.  knownQxx: (A^T A)^+ when the caller has
// it already (it is the same matrix either way), else null.
bool AccuracyBody(const Matice& A, const Matice& l, const Matice& dx, MatPtr& v, MatPtr& vtv,
                  MatPtr& vtvCheck, long double& m0, MatPtr& mx, const Matice* knownQxx) {
    const std::int32_t n = A.r;
    const std::int32_t u = A.s;

    MatPtr Adx = Need(MatMul(A, dx));
    MatPtr nl = MatScale(l, -1.0L);
    MatPtr residuals = MatAdd(*Adx, *nl);
    if (Faulted()) return false;
    v = std::move(residuals);

    MatPtr vt = MatTranspose(*v);
    MatPtr square = Need(MatMul(*vt, *v));
    if (Faulted()) return false;
    vtv = std::move(square);

    MatPtr nlt = MatTranspose(*nl);
    MatPtr nltA = Need(MatMul(*nlt, A));
    MatPtr nltAdx = Need(MatMul(*nltA, dx));
    MatPtr ltl = Need(MatMul(*nlt, *nl));
    MatPtr check = MatAdd(*nltAdx, *ltl);
    if (Faulted()) return false;
    vtvCheck = std::move(check);

    // Operands without a column leave no sum of squares to read.
    if (vtv->r == 0 || vtv->s == 0) return false;
    // n - u is formed as an integer: n = u divides by zero and n < u
    // takes the root of a negative number unless vtv is zero.
    long double sigma0 = PowerHalf(vtv->GetPrvek(1, 1) / static_cast<long double>(n - u));
    FpBarrier(sigma0);
    if (Faulted()) return false;
    m0 = sigma0;

    MatPtr computedQxx;
    bool flag = true;
    if (knownQxx == nullptr) {
        MatPtr At;
        flag = NormalPseudoInverse(A, At, computedQxx);
    }
    const Matice* Qxx = knownQxx != nullptr ? knownQxx : computedQxx.get();

    mx = NewMatrix(1, dx.r);
    if (!flag || Qxx == nullptr) return false;
    if (Qxx->r < dx.r || Qxx->s < dx.r) return false;
    MatPtr deviations = NewMatrix(1, dx.r);
    for (int i = 1; i <= dx.r; ++i)
        deviations->SetPrvek(1, i, PowerHalf(Qxx->GetPrvek(i, i)) * m0);
    if (Faulted()) return false;
    mx = std::move(deviations);
    return true;
}

}  // namespace

bool SolveNormal(const Matice& A, const Matice& l, MatPtr& dx, MatPtr* normalInverse) {
    dx = NewMatrix(A.s, 1);
    MatPtr solution;
    MatPtr Q;
    const bool ok = GuardedComputation([&] { return SolveBody(A, l, solution, Q); });
    // On any failure dx stays the zero placeholder.
    if (ok) {
        dx = std::move(solution);
        if (normalInverse != nullptr) *normalInverse = std::move(Q);
    }
    return ok;
}

bool ResidualsAndAccuracy(const Matice& A, const Matice& l, const Matice& dx, MatPtr& v,
                          MatPtr& vtv, MatPtr& vtvCheck, long double& m0, MatPtr& mx,
                          const Matice* normalInverse) {
    return GuardedComputation(
        [&] { return AccuracyBody(A, l, dx, v, vtv, vtvCheck, m0, mx, normalInverse); });
}


}  // namespace pelvanor
