#include "core/scan/AddFolder.h"

#include "core/platform/FolderBrowser.h"
#include "core/platform/Services.h"
#include "core/scan/DirectoryListing.h"
#include "core/scan/NameOrder.h"
#include "core/scan/Wildcard.h"

#include <QCoreApplication>
#include <QDir>
#include <QSet>

#include <algorithm>
#include <memory>
#include <optional>

namespace pictrove::queue {

using platform::DirectoryListing;
using platform::EntryKind;
using platform::FolderId;

YieldPoint eventLoopYield(std::chrono::milliseconds slice) {
    using Clock = std::chrono::steady_clock;
    auto last = std::make_shared<std::optional<Clock::time_point>>();
    return [last, slice] {
        if (!*last || Clock::now() - **last >= slice) {
            QCoreApplication::processEvents();
            *last = Clock::now();
        }
        return !platform::programEnding();
    };
}

QString SelectFolder(QWidget* owner, const QString& text) {
    platform::FolderBrowser* browser = platform::services().folderBrowser;
    if (!browser) {
        return QString();
    }
    const QString chosen = browser->browse(owner, text);
    return chosen.isEmpty() ? QString() : ChosenFolderPath(chosen);
}

QString ChosenFolderPath(const QString& path) {
    // cleanPath keeps the root's separator and drops any other trailing one.
    return QDir::toNativeSeparators(QDir::cleanPath(QDir().absoluteFilePath(path)));
}

WalkOutcome CollectSubfolders(QStringList& folders, bool wholeTree, const YieldPoint& yield) {
    const QChar separator = QDir::separator();
    QSet<FolderId> visited;
    for (const QString& folder : std::as_const(folders)) {
        if (const std::optional<FolderId> id = platform::folderIdOf(folder)) {
            visited.insert(*id);
        }
    }

    // One level at a time; the levels are appended to `folders` in order, which gives
    // the same list as collecting each deeper level into the one above it.
    QStringList level = folders;
    while (!level.isEmpty()) {
        QStringList below;
        for (const QString& parent : std::as_const(level)) {
            DirectoryListing listing(parent);
            if (!yield()) {
                return WalkOutcome::Stopped;
            }
            QList<std::pair<QString, FolderId>> children;
            while (listing.next()) {
                if (!yield()) {
                    return WalkOutcome::Stopped;
                }
                FolderId id;
                if (listing.kind(&id) != EntryKind::Folder) {
                    continue;
                }
                if (const std::optional<QString> name = listing.name()) {
                    children.append({*name, id});
                }
            }
            // In name order, so that which of two links to one folder is kept does not
            // depend on the file system's listing order either.
            std::sort(children.begin(), children.end(),
                      [](const auto& a, const auto& b) { return NameLess(a.first, b.first); });
            for (const auto& [name, id] : std::as_const(children)) {
                if (!visited.contains(id)) {
                    visited.insert(id);
                    below.append(parent + name + separator);
                }
            }
        }
        for (const QString& folder : std::as_const(below)) {
            if (!yield()) {
                return WalkOutcome::Stopped;
            }
            folders.append(folder);
        }
        if (!wholeTree) {
            break;
        }
        level = std::move(below);
    }
    return WalkOutcome::Complete;
}

QStringList ListFiles(const QString& folder, const QString& pattern) {
    const WildcardPattern wildcard(pattern);
    DirectoryListing listing(folder);
    QStringList names;
    // Room for 100 names first, then 50 more at a time, cut to size at the end.
    names.reserve(100);
    while (listing.next()) {
        const std::optional<QString> name = listing.name();
        if (!name || !wildcard.matches(*name) || listing.kind() != EntryKind::File) {
            continue;
        }
        if (names.size() == names.capacity()) {
            names.reserve(names.size() + 50);
        }
        names.append(*name);
    }
    names.squeeze();
    SortNames(names);
    return names;
}

}  // namespace pictrove::queue
