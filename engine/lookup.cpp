// Finding catalogue entries from typed text.

#include "catalogue.h"

#include <algorithm>
#include <vector>

namespace tarvidon {

namespace {

// The bytes that candidate and typed share at their start, up to typed's
// length, Latin letters without case.
std::size_t SharedStart(std::string_view typed, std::string_view candidate)
{
    const std::size_t length = std::min(typed.size(), candidate.size());
    std::size_t k = 0;
    while (k < length && LatinUpper(typed[k]) == LatinUpper(candidate[k]))
        ++k;
    return k;
}

// Where typed occurs in texts, Latin letters without case (Knuth, Morris
// and Pratt): in time linear in typed once, and in each text searched,
// however alike they are.
class Occurrences {
public:
    explicit Occurrences(std::string_view typed) : typed_(typed), border_(typed.size() + 1, 0)
    {
        for (std::size_t k = 1, b = 0; k < typed.size(); ++k) {
            while (b > 0 && LatinUpper(typed[k]) != LatinUpper(typed[b]))
                b = border_[b];
            if (LatinUpper(typed[k]) == LatinUpper(typed[b]))
                ++b;
            border_[k + 1] = b;
        }
    }

    // Whether typed starts at each offset of text.
    std::vector<bool> in(std::string_view text) const
    {
        std::vector<bool> at(text.size(), false);
        for (std::size_t x = 0, matched = 0; x < text.size(); ++x) {
            while (matched > 0 && (matched == typed_.size() || LatinUpper(text[x]) != LatinUpper(typed_[matched])))
                matched = border_[matched];
            if (LatinUpper(text[x]) == LatinUpper(typed_[matched]))
                ++matched;
            if (matched == typed_.size())
                at[x + 1 - typed_.size()] = true;
        }
        return at;
    }

private:
    std::string_view typed_;
    std::vector<std::size_t> border_; // of each start of typed
};

using Field = std::string_view (*)(const CatalogueEntry &);
std::string_view ModelNameOf(const CatalogueEntry &entry) { return entry.ModelName; }
std::string_view ProductNumberOf(const CatalogueEntry &entry) { return entry.ProductNumber; }

// Calls found(i) for each entry at or before from whose field starts with
// typed, last first, while found returns true; group by group of entries
// whose texts end together (records running into one another), each
// group's longest text searched once for typed.
template <typename Found>
void ForEachByOccurrence(const Catalogue &catalogue, std::string_view typed, Field field, MatchIndex from, Found found)
{
    const Occurrences occurrences(typed);
    for (MatchIndex last = from; last >= 0;) {
        const std::string_view text = field(catalogue.Entry(last));
        MatchIndex first = last;
        while (first > 0 && field(catalogue.Entry(first - 1)).end() == text.end())
            --first;
        const std::string_view longest = field(catalogue.Entry(first));
        if (longest.size() >= typed.size()) { // else no text of the group can start with typed
            const std::vector<bool> at = occurrences.in(longest);
            for (MatchIndex i = last; i >= first; --i) {
                if (at[static_cast<std::size_t>(field(catalogue.Entry(i)).data() - longest.data())] && !found(i))
                    return;
            }
        }
        last = first - 1;
    }
}

// Calls found(i) for each entry whose field starts with typed, the last in
// file order first, while found returns true. Names that run into one
// another can all start with much of a long typed text: past a budget of
// bytes compared, a few times what a search of one run would read, the
// rest are searched as one text a run.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
constexpr std::uint64_t kBudgetBase = 64; // so that small inputs reach the searches of whole runs
#else
constexpr std::uint64_t kBudgetBase = 65536;
#endif

template <typename Found>
void ForEachPrefixMatch(const Catalogue &catalogue, std::string_view typed, Field field, Found found)
{
    if (typed.empty())
        return;
    std::uint64_t budget = 8 * (static_cast<std::uint64_t>(catalogue.ModelCount()) + typed.size()) + kBudgetBase;
    for (MatchIndex i = catalogue.ModelCount() - 1; i >= 0; --i) {
        const std::string_view candidate = field(catalogue.Entry(i));
        if (candidate.size() < typed.size())
            continue;
        const std::size_t shared = SharedStart(typed, candidate);
        if (shared >= budget) {
            ForEachByOccurrence(catalogue, typed, field, i, found);
            return;
        }
        budget -= shared;
        if (shared == typed.size() && !found(i))
            return;
    }
}

MatchIndex LastPrefixMatch(const Catalogue &catalogue, std::string_view typed, Field field)
{
    MatchIndex last = kNoMatch;
    ForEachPrefixMatch(catalogue, typed, field, [&](MatchIndex i) {
        last = i;
        return false;
    });
    return last;
}

std::vector<MatchIndex> AllPrefixMatches(const Catalogue &catalogue, std::string_view typed, Field field)
{
    std::vector<MatchIndex> all;
    ForEachPrefixMatch(catalogue, typed, field, [&](MatchIndex i) {
        all.push_back(i);
        return true;
    });
    std::reverse(all.begin(), all.end());
    return all;
}

} // namespace

bool MatchesPrefix(std::string_view typed, std::string_view candidate)
{
    return !typed.empty() && candidate.size() >= typed.size() && SharedStart(typed, candidate) == typed.size();
}

MatchIndex FindByModel(const Catalogue &catalogue, std::string_view typed)
{
    return LastPrefixMatch(catalogue, typed, ModelNameOf);
}

MatchIndex FindByProductNumber(const Catalogue &catalogue, std::string_view typed)
{
    return LastPrefixMatch(catalogue, typed, ProductNumberOf);
}

std::vector<MatchIndex> FindAllByModel(const Catalogue &catalogue, std::string_view typed)
{
    return AllPrefixMatches(catalogue, typed, ModelNameOf);
}

std::vector<MatchIndex> FindAllByProductNumber(const Catalogue &catalogue, std::string_view typed)
{
    return AllPrefixMatches(catalogue, typed, ProductNumberOf);
}

MatchIndex FindExactModel(const Catalogue &catalogue, std::string_view text)
{
    for (MatchIndex i = 0; i < catalogue.ModelCount(); ++i) {
        if (catalogue.ModelName(i) == text)
            return i;
    }
    throw ListIndexError(catalogue.ModelCount());
}

} // namespace tarvidon
