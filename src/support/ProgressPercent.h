// The percentage a progress display shows: the highest computed so far, so
// it never goes back when a new range starts, and shown one ahead (0 % before
// the first rise, then 2 %, 3 % ... and 100 % from a computed 99 on), so the
// user never watches a long 0 %.
#pragma once

#include <cstdint>

namespace qvxsupport {

// Computes count * 100 / total and raises `shown` to it when higher (at most
// 1000, for counts far beyond the total). True when `shown` rose; a total of
// 0 or below computes nothing.
inline bool RaiseShownPercent(int64_t nCount, int64_t nTotal, int& nShown) {
    if (nTotal <= 0) return false;
    int64_t nComputed = nCount * 100 / nTotal;
    if (nComputed > 1000) nComputed = 1000;
    if (nComputed <= nShown) return false;
    nShown = static_cast<int>(nComputed);
    return true;
}

// The figure shown for the highest percentage computed.
inline int DisplayedPercent(int nShown) {
    if (nShown <= 0) return 0;
    return nShown < 100 ? nShown + 1 : 100;
}

}  // namespace qvxsupport
