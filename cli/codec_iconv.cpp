#include "codec.h"

#include <algorithm>
#include <cerrno>
#include <stdexcept>

#include <iconv.h>

namespace tarvidon::cli {

namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

// One conversion descriptor per direction, opened on first use.
class Converter {
public:
    Converter(const char *to, const char *from) : cd_(iconv_open(to, from))
    {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("No codec from ") + from + " to " + to);
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter &) = delete;
    Converter &operator=(const Converter &) = delete;

    // Converts text, calling onBadInput at each byte iconv refuses; it
    // returns false to give up. Returns false when it gave up.
    template <typename OnBadInput>
    bool convert(std::string_view text, std::string &out, OnBadInput onBadInput)
    {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr); // reset the shift state
        char *in = const_cast<char *>(text.data());
        std::size_t inLeft = text.size();
        char buffer[256];
        while (inLeft > 0) {
            char *outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t done = iconv(cd_, &in, &inLeft, &outPtr, &outLeft);
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
            if (done != static_cast<std::size_t>(-1) || errno == E2BIG)
                continue;
            if (!onBadInput(out))
                return false;
            ++in; // EILSEQ or a cut-off sequence at the end: skip one byte
            --inLeft;
        }
        return true;
    }

private:
    iconv_t cd_;
};

bool IsAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

std::string Cp1251ToUtf8(std::string_view cp1251)
{
    if (IsAscii(cp1251))
        return std::string(cp1251); // most names; spares a call per row
    static Converter converter("UTF-8", "WINDOWS-1251");
    std::string out;
    converter.convert(cp1251, out, [](std::string &text) {
        text += kReplacementCharacter;
        return true;
    });
    return out;
}

std::optional<std::string> Utf8ToCp1251(std::string_view utf8)
{
    if (IsAscii(utf8))
        return std::string(utf8);
    static Converter converter("WINDOWS-1251", "UTF-8");
    std::string out;
    if (!converter.convert(utf8, out, [](std::string &) { return false; }))
        return std::nullopt;
    return out;
}

} // namespace tarvidon::cli
