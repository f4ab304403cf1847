#include "core/platform/InOrder.h"

#include <QTest>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

using pictrove::platform::inOrder;

class InOrderTest : public QObject {
    Q_OBJECT

  private slots:
    void results_are_used_in_order_whatever_order_they_finish_in() {
        for (const int threads : {1, 2, 5}) {
            std::vector<int> results(40, -1);
            std::vector<int> used;
            const std::size_t n = inOrder(
                results.size(), threads, 4,
                [&](std::size_t i) {
                    // Early items take longest, so later ones finish first.
                    std::this_thread::sleep_for(std::chrono::microseconds((40 - i) * 50));
                    results[i] = int(i * i);
                },
                [&](std::size_t i) {
                    used.push_back(results[i]);
                    return true;
                });
            QCOMPARE(n, results.size());
            QCOMPARE(int(used.size()), 40);
            for (int i = 0; i < 40; ++i) {
                QCOMPARE(used[std::size_t(i)], i * i);
            }
        }
    }

    void workers_stay_within_the_window_ahead_of_the_item_in_use() {
        std::atomic<std::size_t> current{0};
        std::atomic<std::size_t> furthest{0};
        std::mutex m;
        inOrder(
            200, 4, 3,
            [&](std::size_t i) {
                const std::lock_guard lock(m);
                furthest = std::max<std::size_t>(furthest, i - current);
            },
            [&](std::size_t i) {
                current = i;
                return true;
            });
        QVERIFY(furthest < 3 + 1);
    }

    void a_refused_item_ends_the_use_and_starts_no_more_work() {
        for (const int threads : {1, 3}) {
            std::atomic<std::size_t> highestStarted{0};
            std::vector<std::size_t> used;
            const std::size_t n = inOrder(
                1000, threads, 2,
                [&](std::size_t i) { highestStarted = std::max<std::size_t>(highestStarted, i); },
                [&](std::size_t i) {
                    used.push_back(i);
                    return i != 10;
                });
            QCOMPARE(n, std::size_t(11));
            QCOMPARE(used.size(), std::size_t(11));
            QCOMPARE(used.back(), std::size_t(10));
            QVERIFY(highestStarted <= 12);
        }
    }
};

QTEST_GUILESS_MAIN(InOrderTest)
#include "in_order_test.moc"
