// Tag search speed over a data image in memory, beside memchr over a
// buffer of the same size for an absent byte (the memory-bandwidth limit).
// Prints each search's speed as a ratio of memchr's after the usual table,
// and fails when a search finds other tags than the byte-by-byte reference.
//
//   tag_search_bench FILE [benchmark options]

#include "catalogue.h"
#include "tag_search.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

tarvidon::EngineState image;
std::vector<unsigned char> absentByteBuffer;
std::map<std::string, std::int64_t> tagsFound;

void SetThroughput(benchmark::State &state, std::int64_t bytes)
{
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * bytes);
}

void MemchrAbsentByte(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(std::memchr(absentByteBuffer.data(), 0x00, absentByteBuffer.size()));
    SetThroughput(state, static_cast<std::int64_t>(absentByteBuffer.size()));
}

// Every tag the scan would visit, through the engine's own FindTag.
void FindTagAll(benchmark::State &state)
{
    std::int64_t count = 0;
    for (auto _ : state) {
        count = 0;
        for (auto t = tarvidon::FindTag(image.Image, 0); t; t = tarvidon::FindTag(image.Image, *t + 1))
            ++count;
    }
    tagsFound["FindTagAll"] = count;
    SetThroughput(state, image.Image.length());
}

template <typename Search>
void CountTags(benchmark::State &state, const char *name, Search search)
{
    const std::uint8_t *bytes = image.Image.data();
    const auto size = static_cast<std::size_t>(image.Image.length() - 1); // tags end before the last byte
    std::int64_t count = 0;
    for (auto _ : state) {
        count = 0;
        for (std::size_t at = search(bytes, size); at < size; at += 1 + search(bytes + at + 1, size - at - 1))
            ++count;
    }
    tagsFound[name] = count;
    SetThroughput(state, image.Image.length());
}

void ByteByByte(benchmark::State &state)
{
    CountTags(state, "ByteByByte", tarvidon::FindRecordTagByteByByte);
}

void MemmemLoop(benchmark::State &state)
{
    CountTags(state, "MemmemLoop", [](const std::uint8_t *bytes, std::size_t size) {
        const void *hit = memmem(bytes, size, "DTHD", 4);
        return hit != nullptr ? static_cast<std::size_t>(static_cast<const std::uint8_t *>(hit) - bytes) : size;
    });
}

// Keeps each run's speed so that the ratios can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            const auto speed = run.counters.find("bytes_per_second");
            if (speed != run.counters.end())
                speeds[run.benchmark_name()] = speed->second;
        }
    }
    std::map<std::string, double> speeds;
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tag_search_bench FILE [benchmark options]\n");
        return 2;
    }
    tarvidon::CheckDataFile(image, argv[1], nullptr);
    tarvidon::LoadDataFile(image, argv[1]);
    absentByteBuffer.assign(static_cast<std::size_t>(image.Image.length()), 'x');

    benchmark::RegisterBenchmark("memchr_absent_byte", MemchrAbsentByte)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("FindTag", FindTagAll)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("memmem_loop", MemmemLoop)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("byte_by_byte", ByteByByte)->Unit(benchmark::kMillisecond);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double memchrSpeed = reporter.speeds["memchr_absent_byte"];
    std::printf("\nmemchr (absent byte): %.2f GB/s\n", memchrSpeed / 1e9);
    for (const char *name : {"FindTag", "memmem_loop", "byte_by_byte"}) {
        std::printf("%-13s %.2f GB/s  %.2fx memchr\n", name, reporter.speeds[name] / 1e9,
                    memchrSpeed > 0 ? reporter.speeds[name] / memchrSpeed : 0.0);
    }
    const std::int64_t reference = tagsFound["ByteByByte"];
    bool same = true;
    for (const auto &[name, count] : tagsFound) {
        std::printf("tags found by %s: %lld\n", name.c_str(), static_cast<long long>(count));
        same = same && count == reference;
    }
    if (!same)
        std::printf("MISMATCH: the searches disagree\n");
    return same ? 0 : 1;
}
