#include "matrix/matice.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "matrix/text_file.h"

namespace pelvanor {

Matice::Matice(std::uint16_t rows, std::uint16_t cols)
    : r(rows), s(cols), prvky(static_cast<std::size_t>(rows) * cols, 0.0L) {}

MatPtr Matice::Create(std::uint16_t rows, std::uint16_t cols) {
    return std::make_unique<Matice>(rows, cols);
}

void Matice::Velikost(std::uint16_t rows, std::uint16_t cols) {
    if (rows == r && cols == s) return;
    std::vector<long double> next(static_cast<std::size_t>(rows) * cols, 0.0L);
    const std::size_t keepRows = std::min(rows, r);
    const std::size_t keepCols = std::min(cols, s);
    for (std::size_t i = 0; i < keepRows; ++i)
        for (std::size_t j = 0; j < keepCols; ++j) next[i * cols + j] = prvky[i * s + j];
    prvky.swap(next);
    r = rows;
    s = cols;
}

bool Matice::CtiPrvek(std::uint16_t row, std::uint16_t col, long double& hodnota) const {
    if (row == 0 || row > r || col == 0 || col > s) return false;
    hodnota = GetPrvek(row, col);
    return true;
}

bool Matice::ZapisPrvek(std::uint16_t row, std::uint16_t col, long double hodnota) {
    if (row == 0 || row > r || col == 0 || col > s) return false;
    SetPrvek(row, col, hodnota);
    return true;
}

std::string DumpNumber(long double value, int decimals) {
    // Correctly rounded (ties to even on the exact binary value) fixed-point
    // text; a value that rounds to zero is written without a minus sign.
    // The largest long double has 4933 digits before the point, so the
    // buffer holds every finite value; a short buffer would make to_chars
    // fail and a large coordinate would be dumped as a wrong number.
    std::string text(4940 + static_cast<std::size_t>(decimals > 0 ? decimals : 0), '\0');
    auto res = std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed,
                             decimals);
    text.resize(res.ec == std::errc() ? static_cast<std::size_t>(res.ptr - text.data()) : 0);
    if (!text.empty() && text[0] == '-' &&
        text.find_first_not_of("0.", 1) == std::string::npos)
        text.erase(0, 1);
    if (text.size() < 15) text.insert(0, 15 - text.size(), ' ');
    return text;
}

namespace {

void AppendRow(std::string& out, const Matice& m, int i) {
    for (int j = 1; j <= m.s; ++j) {
        out += DumpNumber(m.GetPrvek(i, j), j == 1 ? 0 : 5);
        out += ' ';
    }
    out += "\r\n";
}

}  // namespace

std::string Matice::DumpText() const {
    std::string out;
    for (int i = 1; i <= r; ++i) AppendRow(out, *this, i);
    return out;
}

std::string Matice::DumpTextWithHeaders(const Matice& pocet) const {
    std::string out;
    int k = 1;
    for (int i = 1; i <= r; ++i) {
        while (k <= pocet.r && std::nearbyint(pocet.GetPrvek(k, 1)) == static_cast<long double>(i)) {
            out += "Snimek " + std::to_string(k) + "\r\n";
            ++k;
        }
        AppendRow(out, *this, i);
    }
    return out;
}

void Matice::VypisDoSouboruPocet(bool prepis, const std::string& jmeno, const Matice& pocet) const {
    WriteTextFile(jmeno, DumpTextWithHeaders(pocet), prepis);
}

void Matice::VypisDoSouboru(const std::string& jmeno) const { WriteTextFile(jmeno, DumpText(), true); }

MatPtr NewMatrix(std::uint16_t rows, std::uint16_t cols) { return Matice::Create(rows, cols); }

bool GetSize(const Matice* m, std::uint16_t& rows, std::uint16_t& cols) {
    if (!m) return false;
    rows = m->r;
    cols = m->s;
    return true;
}

bool WriteElement(Matice* m, std::uint16_t row, std::uint16_t col, long double value) {
    return m && m->ZapisPrvek(row, col, value);
}

long double ReadElement(const Matice* m, std::uint16_t row, std::uint16_t col, bool& ok) {
    long double v = 0.0L;
    ok = m && m->CtiPrvek(row, col, v);
    return v;
}

}  // namespace pelvanor
