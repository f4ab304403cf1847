#pragma once

#include <QString>
#include <QStringView>

namespace pictrove::queue {

// A file-name wildcard as the desktop's file listings of the original platform read
// it: `*` stands for any run of characters (none included), `?` for exactly one, every
// other character for itself with letter case ignored. A pattern ending in ".*" also
// matches names that contain no dot at all, so "*.*" matches every name.
//
// A pattern whose extension (the part after its last dot) has exactly three characters
// also matches names whose extension is longer and begins with a match of them, so
// "*.doc" finds "a.docx" and "a.docm": on that platform every long name also has a
// short one, with the extension cut to three characters, and listings match both.
// Extensions of any other length match exactly ("*.docx" does not find "a.docxx").
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
    bool threeCharacterExtension_ = false;
};

}  // namespace pictrove::queue
