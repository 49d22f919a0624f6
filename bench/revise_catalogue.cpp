// A later version of a catalogue, for timing `tarvidon-cli diff`: every
// 64th entry's image gets one other byte (changed), every 1,000th entry a
// name with its first Latin letter in the other case (removed and added);
// all else stays where it was.
//
//   revise_catalogue IN OUT

#include "catalogue.h"
#include "file_system.h"

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: revise_catalogue IN OUT\n");
        return 2;
    }
    using namespace tarvidon;
    try {
        DataImage image = ReadWholeFile(argv[1]);
        const Catalogue catalogue = BuildCatalogue(image);
        for (MatchIndex i = 0; i < catalogue.ModelCount(); ++i) {
            const std::int64_t imageOffset = catalogue.Entry(i).ImageOffset;
            if (i % 64 == 0)
                image.data()[imageOffset + 200] ^= 0xFF;
            std::uint8_t &first = image.data()[imageOffset - kImageOffset + kNameOffset];
            if (i % 1000 == 0 && ((first | 0x20) >= 'a' && (first | 0x20) <= 'z'))
                first ^= 0x20;
        }
        WriteWholeFile(argv[2], {image.data(), static_cast<std::size_t>(image.length())});
    } catch (const EngineError &e) {
        std::fprintf(stderr, "revise_catalogue: %s\n", e.what());
        return 1;
    }
    return 0;
}
