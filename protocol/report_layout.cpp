#include "protocol/report_layout.h"

#include "protocol/number_format.h"

namespace pelvanor {

std::string ImageNumber(int image, char decimal) {
    return FormatPattern("  00#", static_cast<long double>(image), decimal);
}

int RowCount(const Matice* m) { return m ? m->r : 0; }

int TableEntryCount(const Matice* m) {
    if (!m) return 0;
    if (m->r == 1 && m->s >= 1 && m->GetPrvek(1, 1) == 0.0L) return 0;
    return m->r;
}

}  // namespace pelvanor
