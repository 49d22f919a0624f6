#include "suffix_array.h"

#include <algorithm>
#include <limits>
#include <numeric>
#include <span>
#include <type_traits>

namespace tarvidon {

namespace {

using Index = std::int32_t;
constexpr Index kEmpty = -1;

// Each symbol carries its suffix's type in its top bit, so that inducing
// reads one number a suffix: S-type when the suffix sorts before the one
// after it, L-type when after. The last suffix is L-type, the empty one
// after it sorting first. An LMS suffix is an S-type one after an L-type one.
template <typename Symbol>
class TypedText {
public:
    using Bits = std::make_unsigned_t<Symbol>;
    static constexpr Bits kSType = Bits{1} << (std::numeric_limits<Bits>::digits - 1);

    explicit TypedText(LargeVector<Symbol> symbols) : symbols_(std::move(symbols))
    {
        bool nextS = false;
        for (std::size_t i = symbols_.size(); i-- > 0;) {
            const bool s = i + 1 < symbols_.size()
                && (symbols_[i] < symbol(i + 1) || (symbols_[i] == symbol(i + 1) && nextS));
            if (s)
                symbols_[i] = static_cast<Symbol>(static_cast<Bits>(symbols_[i]) | kSType);
            nextS = s;
        }
    }

    [[nodiscard]] Index size() const { return static_cast<Index>(symbols_.size()); }
    [[nodiscard]] Index symbol(std::size_t i) const { return static_cast<Bits>(symbols_[i]) & ~kSType; }
    [[nodiscard]] bool sType(std::size_t i) const { return (static_cast<Bits>(symbols_[i]) & kSType) != 0; }
    [[nodiscard]] bool lms(Index i) const { return i > 0 && sType(i) && !sType(i - 1); }
    // Types and all: equal symbols before an LMS suffix have equal types.
    [[nodiscard]] bool same(Index a, Index b, Index length) const
    {
        return std::equal(symbols_.begin() + a, symbols_.begin() + a + length, symbols_.begin() + b);
    }

private:
    LargeVector<Symbol> symbols_;
};

// Where each symbol's bucket of suffixes begins and ends in the array.
class Buckets {
public:
    template <typename Symbol>
    Buckets(const TypedText<Symbol> &text, Index alphabet) : bounds_(static_cast<std::size_t>(alphabet) + 1, 0)
    {
        for (Index i = 0; i < text.size(); ++i)
            ++bounds_[text.symbol(i) + 1];
        std::partial_sum(bounds_.begin(), bounds_.end(), bounds_.begin());
    }

    void heads(LargeVector<Index> &next) const { next.assign(bounds_.begin(), bounds_.end() - 1); }
    void tails(LargeVector<Index> &next) const { next.assign(bounds_.begin() + 1, bounds_.end()); }

private:
    LargeVector<Index> bounds_;
};

// Fills sa from the LMS suffixes in the order given: each bucket's LMS
// suffixes at its end, then the L-type suffixes induced from left to
// right, then the S-type ones from right to left. With the LMS suffixes
// sorted, every suffix comes out sorted.
template <typename Symbol>
void Induce(const TypedText<Symbol> &text, const Buckets &buckets, std::span<const Index> lms,
            LargeVector<Index> &sa)
{
    const Index n = text.size();
    std::fill(sa.begin(), sa.end(), kEmpty);
    LargeVector<Index> next;
    buckets.tails(next);
    for (auto p = lms.rbegin(); p != lms.rend(); ++p)
        sa[--next[text.symbol(*p)]] = *p;

    buckets.heads(next);
    sa[next[text.symbol(n - 1)]++] = n - 1; // induced by the empty suffix
    for (Index i = 0; i < n; ++i) {
        const Index p = sa[i] - 1;
        if (p >= 0 && !text.sType(p))
            sa[next[text.symbol(p)]++] = p;
    }
    buckets.tails(next);
    for (Index i = n - 1; i >= 0; --i) {
        const Index p = sa[i] - 1;
        if (p >= 0 && text.sType(p))
            sa[--next[text.symbol(p)]] = p;
    }
}

template <typename Symbol>
LargeVector<Index> SortSuffixes(LargeVector<Symbol> symbols, Index alphabet)
{
    const auto n = static_cast<Index>(symbols.size());
    LargeVector<Index> sa(symbols.size());
    if (n <= 1) {
        std::iota(sa.begin(), sa.end(), 0);
        return sa;
    }
    const TypedText<Symbol> text(std::move(symbols));
    LargeVector<Index> lms;
    for (Index i = 1; i < n; ++i) {
        if (text.lms(i))
            lms.push_back(i);
    }
    const Buckets buckets(text, alphabet);
    Induce(text, buckets, lms, sa);
    const auto m = static_cast<Index>(lms.size());
    if (m <= 1)
        return sa; // the only order of the LMS suffixes was the right one

    // The LMS substrings (from one LMS suffix to the next, both ends
    // included) now stand sorted. Named by rank, equal ones alike, they
    // make a text of their own, whose suffixes sort as the LMS suffixes do.
    LargeVector<Index> sortedLms;
    sortedLms.reserve(lms.size());
    for (const Index p : sa) {
        if (text.lms(p))
            sortedLms.push_back(p);
    }
    // sa is free now: it holds each LMS suffix's place in text order, at p / 2
    // (LMS suffixes lie at least two apart).
    LargeVector<Index> &place = sa;
    for (Index k = 0; k < m; ++k)
        place[lms[k] / 2] = k;
    const auto end = [&](Index p) {
        const Index k = place[p / 2] + 1;
        return k < m ? lms[k] : n;
    };
    const auto same = [&](Index a, Index b) {
        const Index endA = end(a), endB = end(b);
        // The substring that reaches the end of the text is like no other.
        return endA - a == endB - b && endA < n && endB < n && text.same(a, b, endA - a + 1);
    };
    LargeVector<Index> reduced(lms.size());
    Index name = 0;
    for (Index k = 0; k < m; ++k) {
        const Index p = sortedLms[k];
        if (k > 0 && !same(sortedLms[k - 1], p))
            ++name;
        reduced[place[p / 2]] = name;
    }
    if (name + 1 < m) {
        const LargeVector<Index> reducedOrder = SortSuffixes(std::move(reduced), name + 1);
        for (Index k = 0; k < m; ++k)
            sortedLms[k] = lms[reducedOrder[k]];
    }
    Induce(text, buckets, sortedLms, sa);
    return sa;
}

} // namespace

LargeVector<std::int32_t> SuffixArray(LargeVector<std::uint16_t> text, std::int32_t alphabet)
{
    return SortSuffixes(std::move(text), alphabet);
}

LargeVector<std::int32_t> SuffixArray(LargeVector<std::int32_t> text, std::int32_t alphabet)
{
    return SortSuffixes(std::move(text), alphabet);
}

} // namespace tarvidon
