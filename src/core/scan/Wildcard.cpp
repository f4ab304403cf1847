#include "core/scan/Wildcard.h"

namespace pictrove::queue {

namespace {
inline QChar fold(QChar c) {
    return c.toCaseFolded();
}
}  // namespace

WildcardPattern::WildcardPattern(const QString& pattern) : folded_(pattern.toCaseFolded()) {
    everything_ = folded_ == QLatin1String("*") || folded_ == QLatin1String("*.*");
    hasDotStarTail_ = folded_.endsWith(QLatin1String(".*"));
    if (hasDotStarTail_) {
        noDotTail_ = folded_.chopped(2);
    }
    const qsizetype dot = folded_.lastIndexOf(u'.');
    threeCharacterExtension_ = dot >= 0 && folded_.size() - dot - 1 == 3;
}

bool WildcardPattern::matches(QStringView name) const {
    if (everything_) {
        return true;
    }
    if (match(folded_, name)) {
        return true;
    }
    if (threeCharacterExtension_) {
        // The name as its short form's extension shows it: cut to three characters.
        const qsizetype dot = name.lastIndexOf(u'.');
        if (dot >= 0 && name.size() - dot - 1 > 3 && match(folded_, name.first(dot + 4))) {
            return true;
        }
    }
    return hasDotStarTail_ && !name.contains(u'.') && match(noDotTail_, name);
}

// Greedy matching with one backtrack point: the last `*` seen absorbs one more
// character whenever the rest fails. Linear in practice, never exponential.
bool WildcardPattern::match(QStringView pattern, QStringView name) {
    qsizetype p = 0;
    qsizetype n = 0;
    qsizetype starP = -1;
    qsizetype starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == fold(name[n]))) {
            ++p;
            ++n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') {
        ++p;
    }
    return p == pattern.size();
}

}  // namespace pictrove::queue
