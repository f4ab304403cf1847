// Times a whole-tree folder add (CollectSubfolders, then ListFiles of every folder)
// against `find DIR -type f` over the same tree in the same run, and measures how long
// the event loop goes without a turn while the walk runs.
//
//   folder_walk_bench --generate DIR   makes the tree: 10,000 folders, 100,000 files
//   folder_walk_bench DIR              measures
#include "core/scan/AddFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace pictrove;

namespace {

constexpr int kRepeats = 5;

// 10 folders at the top, 9 below each of them and 110 below each of those: 10,000
// folders, each holding 10 files (100,000), the top folder itself none.
bool generate(const QString& top) {
    QDir dir(top);
    int files = 0;
    auto fill = [&](const QString& folder) {
        for (int f = 0; f < 10; ++f) {
            const QString name = f == 0  ? QStringLiteral("~$lock%1.doc").arg(files)
                                 : f < 7 ? QStringLiteral("document-%1.doc").arg(files)
                                         : QStringLiteral("picture-%1.png").arg(files);
            QFile file(folder + u'/' + name);
            if (!file.open(QIODevice::WriteOnly)) {
                return false;
            }
            ++files;
        }
        return true;
    };
    for (int a = 0; a < 10; ++a) {
        for (int b = 0; b < 9; ++b) {
            for (int c = 0; c < 110; ++c) {
                const QString leaf = QStringLiteral("%1/A%2/B%3/C%4").arg(top).arg(a).arg(b).arg(c);
                if (!dir.mkpath(leaf) || !fill(leaf)) {
                    return false;
                }
            }
            if (!fill(QStringLiteral("%1/A%2/B%3").arg(top).arg(a).arg(b))) {
                return false;
            }
        }
        if (!fill(QStringLiteral("%1/A%2").arg(top).arg(a))) {
            return false;
        }
    }
    std::printf("generated 10000 folders, %d files in %s\n", files, qPrintable(top));
    return true;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Wall time of `find DIR -type f` in ms, its output counted but not kept.
double timeFind(const QString& top, qsizetype* lines) {
    QProcess find;
    QElapsedTimer clock;
    clock.start();
    find.start(QStringLiteral("find"), {top, QStringLiteral("-type"), QStringLiteral("f")});
    find.waitForFinished(-1);
    const double ms = clock.nsecsElapsed() / 1e6;
    *lines = find.readAllStandardOutput().count('\n');
    return ms;
}

struct WalkTimes {
    double totalMs = 0;
    double listingMs = 0;     // the ListFiles phase
    double longestGapMs = 0;  // between two event-loop turns, walk and listing
    qsizetype folders = 0;
    qsizetype files = 0;
};

WalkTimes timeWalk(const QString& top) {
    WalkTimes t;
    QElapsedTimer clock;
    QElapsedTimer sinceTurn;
    // A zero timer fires at every turn of the event loop: the gap between two firings
    // is how long the windows would have gone without repainting or taking input.
    QTimer ticker;
    ticker.setInterval(0);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        t.longestGapMs = std::max(t.longestGapMs, sinceTurn.nsecsElapsed() / 1e6);
        sinceTurn.start();
    });
    ticker.start();

    clock.start();
    sinceTurn.start();
    // As a folder add does it: the same yield through the walk and between the folders
    // of the listing phase.
    const queue::YieldPoint yield = queue::eventLoopYield();
    QStringList folders{top + QDir::separator()};
    queue::CollectSubfolders(folders, true, yield);
    QElapsedTimer listing;
    listing.start();
    for (const QString& entry : std::as_const(folders)) {
        yield();
        t.files += queue::ListFiles(entry.chopped(1), QStringLiteral("*.*")).size();
    }
    t.listingMs = listing.nsecsElapsed() / 1e6;
    t.totalMs = clock.nsecsElapsed() / 1e6;
    t.longestGapMs = std::max(t.longestGapMs, sinceTurn.nsecsElapsed() / 1e6);
    ticker.stop();
    t.folders = folders.size();
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == QLatin1String("--generate")) {
        return generate(args[2]) ? 0 : 1;
    }
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: folder_walk_bench [--generate] DIR\n");
        return 2;
    }
    const QString top = QDir::cleanPath(args[1]);

    qsizetype findFiles = 0;
    timeFind(top, &findFiles);  // warms the caches for both
    std::vector<double> finds, walks, listings, gaps;
    WalkTimes last;
    for (int i = 0; i < kRepeats; ++i) {
        finds.push_back(timeFind(top, &findFiles));
        last = timeWalk(top);
        walks.push_back(last.totalMs);
        listings.push_back(last.listingMs);
        gaps.push_back(last.longestGapMs);
    }
    const double find = median(finds);
    const double walk = median(walks);
    std::printf("find -type f:                 %8.1f ms  (%lld files)\n", find,
                static_cast<long long>(findFiles));
    std::printf("CollectSubfolders+ListFiles:  %8.1f ms  (%lld files, %lld folders)\n", walk,
                static_cast<long long>(last.files), static_cast<long long>(last.folders));
    std::printf("  of which ListFiles:         %8.1f ms\n", median(listings));
    std::printf("ratio walk / find:            %8.2f   (target <= 2)\n", walk / find);
    std::printf("longest gap between turns:    %8.1f ms  (worst of %d walks, target < 50)\n",
                *std::max_element(gaps.begin(), gaps.end()), kRepeats);
    if (last.files != findFiles) {
        std::fprintf(stderr, "file counts differ\n");
        return 1;
    }
    return 0;
}
