// The lists' exchange sort: for each position i in turn, every later row that sorts before the
// row at i is swapped into i. Rows that sort equal end in the order these swaps leave them in,
// which the lists have always shown, so the result is exactly the plain double loop's.
//
// The rows are ranked first (n log n comparisons); the exchanges then run on the ranks alone,
// passing over sixteen ranks a step while none is smaller, and each row moves once at the
// end. A pass stops as soon as position i holds the smallest rank left, which the ranking
// already knows: nothing after it can be smaller.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <numeric>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace ui {

namespace exchange_detail {

// The first position from `j` whose rank is below `rank`, or `n`. Ranks are below 2^31, so
// a signed compare orders them.
inline size_t nextBelow(const std::vector<uint32_t>& ranks, size_t j, uint32_t rank) {
    const size_t n = ranks.size();
#ifdef __SSE2__
    // Sixteen ranks a step, their compares packed into one mask whose lowest bit is the answer.
    const __m128i limit = _mm_set1_epi32(int32_t(rank));
    for (; j + 16 <= n; j += 16) {
        const __m128i* p = reinterpret_cast<const __m128i*>(ranks.data() + j);
        const __m128i low = _mm_packs_epi32(_mm_cmplt_epi32(_mm_loadu_si128(p), limit),
                                            _mm_cmplt_epi32(_mm_loadu_si128(p + 1), limit));
        const __m128i high = _mm_packs_epi32(_mm_cmplt_epi32(_mm_loadu_si128(p + 2), limit),
                                             _mm_cmplt_epi32(_mm_loadu_si128(p + 3), limit));
        const int below = _mm_movemask_epi8(_mm_packs_epi16(low, high));
        if (below != 0) return j + size_t(__builtin_ctz(unsigned(below)));
    }
#endif
    for (; j < n; ++j) {
        if (ranks[j] < rank) return j;
    }
    return n;
}

}  // namespace exchange_detail

// Sorts rows [first, last) by `less`, a strict weak order.
template <class Row, class Less>
void exchangeSort(std::vector<Row>& rows, size_t first, size_t last, Less less) {
    if (last <= first + 1) return;
    const size_t n = last - first;
    std::vector<uint32_t> order(n);
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(),
              [&](uint32_t a, uint32_t b) { return less(rows[first + a], rows[first + b]); });
    std::vector<uint32_t> ranks(n), smallestLeft(n);
    uint32_t rank = 0;
    for (size_t k = 0; k < n; ++k) {
        if (k > 0 && less(rows[first + order[k - 1]], rows[first + order[k]])) ++rank;
        ranks[order[k]] = rank;
        smallestLeft[k] = rank;  // what the sort leaves at position k
    }

    // `order` now follows the exchanges: position p holds the row that the loop leaves there.
    std::iota(order.begin(), order.end(), 0u);
    for (size_t i = 0; i < n; ++i) {
        uint32_t rankAtI = ranks[i], rowAtI = order[i];
        for (size_t j = i + 1; rankAtI != smallestLeft[i]; ++j) {
            j = exchange_detail::nextBelow(ranks, j, rankAtI);
            if (j == n) break;  // cannot happen: a smaller rank is left while this one is not
            std::swap(rankAtI, ranks[j]);
            std::swap(rowAtI, order[j]);
        }
        ranks[i] = rankAtI;
        order[i] = rowAtI;
    }

    // Each cycle of the permutation moves its rows round by one, one row held aside.
    std::vector<bool> placed(n);
    for (size_t start = 0; start < n; ++start) {
        if (placed[start] || order[start] == start) continue;
        Row held = std::move(rows[first + start]);
        size_t p = start;
        for (; order[p] != start; p = order[p]) {
            rows[first + p] = std::move(rows[first + order[p]]);
            placed[p] = true;
        }
        rows[first + p] = std::move(held);
        placed[p] = true;
    }
}

}  // namespace ui
