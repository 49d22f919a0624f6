// Finding catalogue entries from typed text.

#include "catalogue.h"

#include <algorithm>
#include <vector>

namespace tarvidon {

namespace {

// Only the 26 Latin letters have a case here; Cyrillic bytes compare as
// they are.
char LatinUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c;
}

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

// Where typed occurs in text, Latin letters without case (Knuth, Morris
// and Pratt): in time linear in both, however alike they are.
std::vector<bool> Occurrences(std::string_view typed, std::string_view text)
{
    std::vector<std::size_t> border(typed.size() + 1, 0); // of each start of typed
    for (std::size_t k = 1, b = 0; k < typed.size(); ++k) {
        while (b > 0 && LatinUpper(typed[k]) != LatinUpper(typed[b]))
            b = border[b];
        if (LatinUpper(typed[k]) == LatinUpper(typed[b]))
            ++b;
        border[k + 1] = b;
    }
    std::vector<bool> at(text.size(), false);
    for (std::size_t x = 0, matched = 0; x < text.size(); ++x) {
        while (matched > 0 && (matched == typed.size() || LatinUpper(text[x]) != LatinUpper(typed[matched])))
            matched = border[matched];
        if (LatinUpper(text[x]) == LatinUpper(typed[matched]))
            ++matched;
        if (matched == typed.size())
            at[x + 1 - typed.size()] = true;
    }
    return at;
}

// The last match at or before from, group by group of entries whose texts
// end together (records running into one another): each group's longest
// text searched once for typed.
template <typename Field>
MatchIndex FindLastByOccurrence(const Catalogue &catalogue, std::string_view typed, Field field, MatchIndex from)
{
    for (MatchIndex last = from; last >= 0;) {
        const std::string_view text = field(catalogue.Entry(last));
        MatchIndex first = last;
        while (first > 0 && field(catalogue.Entry(first - 1)).end() == text.end())
            --first;
        const std::string_view longest = field(catalogue.Entry(first));
        const std::vector<bool> at = Occurrences(typed, longest);
        for (MatchIndex i = last; i >= first; --i) {
            if (at[static_cast<std::size_t>(field(catalogue.Entry(i)).data() - longest.data())])
                return i;
        }
        last = first - 1;
    }
    return kNoMatch;
}

// The last match in file order, looked for from the end. Names that run
// into one another can all start with much of a long typed text; past a
// budget of bytes compared, they are searched as one text each.
template <typename Field>
MatchIndex FindLastPrefixMatch(const Catalogue &catalogue, std::string_view typed, Field field)
{
    if (typed.empty())
        return kNoMatch;
    std::uint64_t budget = 8 * static_cast<std::uint64_t>(catalogue.ModelCount()) + 65536;
    for (MatchIndex i = catalogue.ModelCount() - 1; i >= 0; --i) {
        const std::string_view candidate = field(catalogue.Entry(i));
        if (candidate.size() < typed.size())
            continue;
        const std::size_t shared = SharedStart(typed, candidate);
        if (shared == typed.size())
            return i;
        if (shared >= budget)
            return FindLastByOccurrence(catalogue, typed, field, i - 1);
        budget -= shared;
    }
    return kNoMatch;
}

} // namespace

bool MatchesPrefix(std::string_view typed, std::string_view candidate)
{
    return !typed.empty() && candidate.size() >= typed.size() && SharedStart(typed, candidate) == typed.size();
}

MatchIndex FindByModel(const Catalogue &catalogue, std::string_view typed)
{
    return FindLastPrefixMatch(catalogue, typed, [](const CatalogueEntry &e) { return e.ModelName; });
}

MatchIndex FindByProductNumber(const Catalogue &catalogue, std::string_view typed)
{
    return FindLastPrefixMatch(catalogue, typed, [](const CatalogueEntry &e) { return e.ProductNumber; });
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
