#include "core/scan/NameOrder.h"

#include <algorithm>

namespace pictrove::queue {

namespace {

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Negative, zero or positive as a is before, equal to or after b, by the folded text
// and the digit runs' values alone. `zeros` receives the first difference in the
// number of leading zeros (fewer first), for the tie-break.
int compareLoosely(QStringView a, QStringView b, int& zeros) {
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            const qsizetype startA = i;
            const qsizetype startB = j;
            while (i < a.size() && a[i] == u'0') {
                ++i;
            }
            while (j < b.size() && b[j] == u'0') {
                ++j;
            }
            const qsizetype zerosA = i - startA;
            const qsizetype zerosB = j - startB;
            const qsizetype digitsA = i;
            const qsizetype digitsB = j;
            while (i < a.size() && isDigit(a[i])) {
                ++i;
            }
            while (j < b.size() && isDigit(b[j])) {
                ++j;
            }
            // Without leading zeros, the longer run is the larger number; runs of one
            // length compare digit by digit.
            if (i - digitsA != j - digitsB) {
                return i - digitsA < j - digitsB ? -1 : 1;
            }
            const int digits = a.mid(digitsA, i - digitsA).compare(b.mid(digitsB, j - digitsB));
            if (digits != 0) {
                return digits;
            }
            if (zeros == 0 && zerosA != zerosB) {
                zeros = zerosA < zerosB ? -1 : 1;
            }
            continue;
        }
        if (a[i] != b[j]) {
            const char16_t ca = a[i].toCaseFolded().unicode();
            const char16_t cb = b[j].toCaseFolded().unicode();
            if (ca != cb) {
                return ca < cb ? -1 : 1;
            }
        }
        ++i;
        ++j;
    }
    if (i < a.size()) {
        return 1;
    }
    if (j < b.size()) {
        return -1;
    }
    return 0;
}

}  // namespace

bool NameLess(QStringView a, QStringView b) {
    int zeros = 0;
    const int loose = compareLoosely(a, b, zeros);
    if (loose != 0) {
        return loose < 0;
    }
    if (zeros != 0) {
        return zeros < 0;
    }
    return a.compare(b) < 0;
}

void SortNames(QStringList& names) {
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return NameLess(a, b); });
}

}  // namespace pictrove::queue
