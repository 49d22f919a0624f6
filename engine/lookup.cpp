// Finding catalogue entries from typed text.

#include "catalogue.h"

namespace tarvidon {

namespace {

// Only the 26 Latin letters have a case here; Cyrillic bytes compare as
// they are.
char LatinUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c;
}

// The last match in file order, looked for from the end: where records
// run into one another, every earlier name may start with a long text.
template <typename Field>
MatchIndex FindLastPrefixMatch(const Catalogue &catalogue, std::string_view typed, Field field)
{
    for (MatchIndex i = catalogue.ModelCount() - 1; i >= 0; --i) {
        if (MatchesPrefix(typed, field(catalogue.Entry(i))))
            return i;
    }
    return kNoMatch;
}

} // namespace

bool MatchesPrefix(std::string_view typed, std::string_view candidate)
{
    if (typed.empty() || candidate.size() < typed.size())
        return false;
    for (std::size_t k = 0; k < typed.size(); ++k) {
        if (LatinUpper(typed[k]) != LatinUpper(candidate[k]))
            return false;
    }
    return true;
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
