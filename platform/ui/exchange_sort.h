// The lists' exchange sort: for each position i in turn, every later row that sorts before the
// row at i is swapped into i. Rows that sort equal end in the order these swaps leave them in,
// which the lists have always shown, so the result is exactly the plain double loop's.
//
// The rows are ranked first (n log n comparisons); the exchanges then run on the ranks alone,
// passing over sixteen or thirty-two ranks a step while none is smaller, and each row moves
// once at the end. A pass stops as soon as position i holds the smallest rank left, which the
// ranking already knows: nothing after it can be smaller.
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

// The first position from `j` whose rank is below `rank`, or the end. Ranks are signed, so
// a signed compare orders them: 16 bits wide while the ranks fit, else 32.
inline size_t nextBelow(const std::vector<int32_t>& ranks, size_t j, int32_t rank) {
    const size_t n = ranks.size();
#ifdef __SSE2__
    // Sixteen ranks a step, their compares packed into one mask whose lowest bit is the answer.
    const __m128i limit = _mm_set1_epi32(rank);
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

inline size_t nextBelow(const std::vector<int16_t>& ranks, size_t j, int16_t rank) {
    const size_t n = ranks.size();
#ifdef __SSE2__
    // Thirty-two ranks a step.
    const __m128i limit = _mm_set1_epi16(rank);
    for (; j + 32 <= n; j += 32) {
        const __m128i* p = reinterpret_cast<const __m128i*>(ranks.data() + j);
        const __m128i low = _mm_packs_epi16(_mm_cmplt_epi16(_mm_loadu_si128(p), limit),
                                            _mm_cmplt_epi16(_mm_loadu_si128(p + 1), limit));
        const __m128i high = _mm_packs_epi16(_mm_cmplt_epi16(_mm_loadu_si128(p + 2), limit),
                                             _mm_cmplt_epi16(_mm_loadu_si128(p + 3), limit));
        const unsigned below = unsigned(_mm_movemask_epi8(low)) | unsigned(_mm_movemask_epi8(high))
                                                                      << 16;
        if (below != 0) return j + size_t(__builtin_ctz(below));
    }
#endif
    for (; j < n; ++j) {
        if (ranks[j] < rank) return j;
    }
    return n;
}

// The exchanges on the ranks; `order` ends holding, at each position, the row left there.
template <class Rank>
void exchangeRanks(std::vector<Rank>& ranks, const std::vector<Rank>& smallestLeft,
                   std::vector<uint32_t>& order) {
    const size_t n = ranks.size();
    for (size_t i = 0; i < n; ++i) {
        Rank rankAtI = ranks[i];
        uint32_t rowAtI = order[i];
        for (size_t j = i + 1; rankAtI != smallestLeft[i]; ++j) {
            j = nextBelow(ranks, j, rankAtI);
            if (j == n) break;  // cannot happen: a smaller rank is left while this one is not
            std::swap(rankAtI, ranks[j]);
            std::swap(rowAtI, order[j]);
        }
        ranks[i] = rankAtI;
        order[i] = rowAtI;
    }
}

// The same exchanges for rows of few distinct ranks (at most 64), without looking at the rows
// a pass steps over. A pass exchanges at p exactly when p is the first place of its rank after
// i and every smaller rank first stands later: so each pass finds its exchanges from the first
// place of each rank, kept up to date through a set of places per rank.
inline void exchangeFewRanks(std::vector<uint8_t>& ranks, size_t distinct,
                             std::vector<uint32_t>& order) {
    const size_t n = ranks.size();
    const size_t words = (n + 63) / 64;
    std::vector<uint64_t> places(distinct * words);  // bit p of rank r's words: r stands at p
    const auto put = [&](size_t r, size_t p) { places[r * words + p / 64] |= 1ull << (p % 64); };
    const auto take = [&](size_t r, size_t p) {
        places[r * words + p / 64] &= ~(1ull << (p % 64));
    };
    const auto firstFrom = [&](size_t r, size_t p) {
        for (size_t w = p / 64; w < words; ++w) {
            uint64_t bits = places[r * words + w];
            if (w == p / 64) bits &= ~0ull << (p % 64);
            if (bits != 0) return w * 64 + size_t(__builtin_ctzll(bits));
        }
        return n;
    };
    for (size_t p = 0; p < n; ++p) put(ranks[p], p);
    std::vector<size_t> first(distinct);
    for (size_t r = 0; r < distinct; ++r) first[r] = firstFrom(r, 0);
    std::vector<uint8_t> chain;
    for (size_t i = 0; i < n; ++i) {
        uint8_t carried = ranks[i];
        uint32_t carriedRow = order[i];
        take(carried, i);
        first[carried] = firstFrom(carried, i + 1);
        // The ranks exchanged, smallest first; their places come in the opposite order.
        chain.clear();
        size_t earliest = n;
        for (uint8_t r = 0; r < carried; ++r) {
            if (first[r] < earliest) {
                chain.push_back(r);
                earliest = first[r];
            }
        }
        for (size_t t = chain.size(); t-- > 0;) {
            const uint8_t r = chain[t];
            const size_t p = first[r];
            take(r, p);
            put(carried, p);
            first[carried] = std::min(first[carried], p);
            ranks[p] = carried;
            std::swap(carriedRow, order[p]);
            carried = r;
            first[r] = firstFrom(r, p + 1);
        }
        ranks[i] = carried;
        order[i] = carriedRow;
    }
}

// Ranks the rows' positions (equal rows equal ranks) and runs the exchanges.
template <class Rank>
void exchangeByRank(const std::vector<uint32_t>& sorted, const std::vector<bool>& rises,
                    std::vector<uint32_t>& order) {
    const size_t n = sorted.size();
    std::vector<Rank> ranks(n), smallestLeft(n);
    Rank rank = 0;
    for (size_t k = 0; k < n; ++k) {
        if (rises[k]) ++rank;
        ranks[sorted[k]] = rank;
        smallestLeft[k] = rank;  // what the sort leaves at position k
    }
    std::iota(order.begin(), order.end(), 0u);
    exchangeRanks(ranks, smallestLeft, order);
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
    // rises[k]: the k-th row in sorted order sorts after the one before it.
    std::vector<bool> rises(n);
    size_t distinct = 1;
    for (size_t k = 1; k < n; ++k) {
        rises[k] = less(rows[first + order[k - 1]], rows[first + order[k]]);
        distinct += rises[k];
    }
    // `order` now follows the exchanges: position p holds the row that the loop leaves there.
    std::vector<uint32_t> sorted = order;
    if (distinct <= 64) {
        std::vector<uint8_t> ranks(n);
        uint8_t rank = 0;
        for (size_t k = 0; k < n; ++k) {
            if (rises[k]) ++rank;
            ranks[sorted[k]] = rank;
        }
        std::iota(order.begin(), order.end(), 0u);
        exchange_detail::exchangeFewRanks(ranks, distinct, order);
    } else if (distinct <= 32767) {
        exchange_detail::exchangeByRank<int16_t>(sorted, rises, order);
    } else {
        exchange_detail::exchangeByRank<int32_t>(sorted, rises, order);
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
