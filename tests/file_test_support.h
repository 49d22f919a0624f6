#pragma once

// What the engine's file tests share, on every platform.

#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>

namespace tarvidon::test {

// One record "A" whose firmware image holds the bytes 0x00..0xFF in order.
inline EngineState StateWithCountingImage()
{
    ImageBuilder file;
    file.bytes("DTHD").zeros(13).bytes("A").zeros(kImageOffset - 18);
    Bytes counting(256);
    for (int b = 0; b < 256; ++b)
        counting[b] = static_cast<std::uint8_t>(b);
    file.bytes(std::string_view(reinterpret_cast<const char *>(counting.data()), counting.size()));
    EngineState state;
    state.Image = file.image();
    EXPECT_TRUE(ScanCatalogue(state));
    return state;
}

inline std::string SaveError(const EngineState &state, std::string_view model, const std::filesystem::path &path)
{
    try {
        SaveImage(state, model, path);
    } catch (const EngineError &error) {
        return error.what();
    }
    return "no error";
}

inline std::string LoadError(EngineState &state, const std::filesystem::path &path)
{
    try {
        CheckAndLoad(state, path);
    } catch (const EngineError &error) {
        return error.what();
    }
    return "no error";
}

// A state that has loaded and scanned one good file.
struct LoadedState {
    TempDir dir;
    EngineState state;
    Bytes bytes;

    LoadedState()
    {
        ImageBuilder file;
        file.record("GOOD", {1, 2, 3, 4});
        bytes = file.data();
        EXPECT_TRUE(CheckAndLoad(state, dir.write("good.dat", bytes)).empty());
        EXPECT_TRUE(ScanCatalogue(state));
    }

    void expectUnchanged() const
    {
        ASSERT_EQ(state.Image.length(), static_cast<std::int64_t>(bytes.size()));
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), state.Image.data()));
        ASSERT_EQ(state.Catalogue.ModelCount(), 1);
        EXPECT_EQ(state.Catalogue.ModelName(0), "GOOD");
    }
};

} // namespace tarvidon::test
