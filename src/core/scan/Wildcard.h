#pragma once

#include <QString>
#include <QStringView>

namespace pictrove::queue {

// A file-name wildcard as the desktop's file listings of the original platform read
// it: `*` stands for any run of characters (none included), `?` for exactly one, every
// other character for itself with letter case ignored. A pattern ending in ".*" also
// matches names that contain no dot at all, so "*.*" matches every name.
class WildcardPattern {
  public:
    explicit WildcardPattern(const QString& pattern);

    bool matches(QStringView name) const;

  private:
    static bool match(QStringView pattern, QStringView name);

    QString folded_;     // the pattern, case-folded
    QString noDotTail_;  // for a pattern ending in ".*": the pattern without it
    bool hasDotStarTail_ = false;
    bool everything_ = false;
};

}  // namespace pictrove::queue
