// The lists' exchange sort must leave rows exactly where the plain double loop leaves them,
// rows that sort equal included: the lists have always shown them in that order.
#include "ui/exchange_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

struct Row {
    int key = 0;
    int serial = 0;
    bool operator==(const Row&) const = default;
};

std::vector<Row> plainExchangeSort(std::vector<Row> rows, size_t first, size_t last) {
    for (size_t i = first; i < last; ++i) {
        for (size_t j = i + 1; j < last; ++j) {
            if (rows[j].key < rows[i].key) std::swap(rows[i], rows[j]);
        }
    }
    return rows;
}

TEST(ExchangeSortTest, LeavesEveryRowWhereThePlainLoopLeavesIt) {
    std::mt19937 random(7);
    const auto byKey = [](const Row& a, const Row& b) { return a.key < b.key; };
    // Sizes around the sixteen-rank steps; few distinct keys (many ties) and many.
    for (size_t n : {0, 1, 2, 7, 15, 16, 17, 33, 64, 333}) {
        for (int distinct : {1, 3, 40, 100000}) {
            std::vector<Row> rows(n);
            for (size_t i = 0; i < n; ++i) rows[i] = {int(random() % distinct), int(i)};
            // A sorted descending run makes every later row a swap.
            if (distinct == 40 && n > 10)
                std::sort(rows.begin(), rows.begin() + 10,
                          [](const Row& a, const Row& b) { return a.key > b.key; });
            const size_t first = n > 4 ? 2 : 0, last = n > 4 ? n - 1 : n;
            std::vector<Row> sorted = rows;
            ui::exchangeSort(sorted, first, last, byKey);
            EXPECT_EQ(sorted, plainExchangeSort(rows, first, last)) << n << " rows, " << distinct;
        }
    }
}

// Beyond 32767 distinct rows the ranks are 32 bits wide; both widths must exchange alike.
TEST(ExchangeSortTest, BothRankWidthsExchangeAlike) {
    std::mt19937 random(11);
    for (size_t n : {1, 15, 33, 500}) {
        std::vector<uint32_t> sorted(n);
        std::vector<bool> rises(n);
        for (size_t k = 0; k < n; ++k) {
            sorted[k] = uint32_t(k);
            rises[k] = k > 0 && random() % 3 != 0;
        }
        std::shuffle(sorted.begin(), sorted.end(), random);
        std::vector<uint32_t> narrow(n), wide(n);
        ui::exchange_detail::exchangeByRank<int16_t>(sorted, rises, narrow);
        ui::exchange_detail::exchangeByRank<int32_t>(sorted, rises, wide);
        EXPECT_EQ(narrow, wide) << n << " rows";
    }
}

}  // namespace
