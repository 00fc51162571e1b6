// A fresh shell and screen for the graphics tests, with pictures written as
// 24-bit BMP files into a folder beside the test program (where the engine
// looks for them).
#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "draw/krDraw.h"
#include "platform/cp932.h"
#include "platform/headless/headless.h"
#include "platform/window.h"
#include "shell_fixture.h"

class DrawTest : public ShellTest {
protected:
    static constexpr const char* kFolder = "kr_dt";  // beside the program

    void SetUp() override {
        ShellTest::SetUp();
        krSystemState.fullScreen = 0;  // windowed, as the game runs
        std::filesystem::create_directories(FolderPath());
    }

    void TearDown() override {
        krDraw::Release();
        krScreen = krScreenRecord{};
        krDraw::SetColorKey(0);
        unsetenv("KR_DESKTOP_BITS");
        std::error_code ignored;
        std::filesystem::remove_all(FolderPath(), ignored);
        ShellTest::TearDown();
    }

    static std::filesystem::path FolderPath() {
        return std::filesystem::path(plat::ProgramPath()).parent_path() / kFolder;
    }

    // Opens the main window (and with it the front surface).
    void OpenWindow() {
        plat::RegisterWindowClass("DEFAULT", &krSystem::WindowProc, 0x0B);
        krSystemState.mainWindow = plat::CreateMainWindow("DEFAULT", "t", 0, 0, 0, 800, 600);
        ASSERT_NE(krSystemState.mainWindow, 0u);
    }

    // Writes a 24-bit picture; pixels are 0xRRGGBB, row by row from the top.
    // Returns the engine name of the file ("kr_dt\<file>").
    static std::string WritePicture(const std::string& file, int width, int height,
                                    const std::vector<std::uint32_t>& pixels) {
        const int stride = (width * 3 + 3) & ~3;
        std::vector<std::uint8_t> b(54 + static_cast<std::size_t>(stride) * height, 0);
        auto put32 = [&](std::size_t at, std::uint32_t v) {
            for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
        };
        b[0] = 'B';
        b[1] = 'M';
        put32(2, static_cast<std::uint32_t>(b.size()));
        put32(10, 54);
        put32(14, 40);
        put32(18, static_cast<std::uint32_t>(width));
        put32(22, static_cast<std::uint32_t>(height));
        b[26] = 1;
        b[28] = 24;
        for (int y = 0; y < height; ++y) {
            std::uint8_t* row = &b[54 + static_cast<std::size_t>(height - 1 - y) * stride];
            for (int x = 0; x < width; ++x) {
                const std::uint32_t p = pixels[static_cast<std::size_t>(y) * width + x];
                row[3 * x] = static_cast<std::uint8_t>(p);
                row[3 * x + 1] = static_cast<std::uint8_t>(p >> 8);
                row[3 * x + 2] = static_cast<std::uint8_t>(p >> 16);
            }
        }
        const std::string path = (FolderPath() / file).string();
        std::FILE* f = std::fopen(path.c_str(), "wb");
        EXPECT_NE(f, nullptr) << path;
        if (f) {
            std::fwrite(b.data(), 1, b.size(), f);
            std::fclose(f);
        }
        return std::string(kFolder) + "\\" + file;
    }

    // A picture whose pixel (x, y) is 0xRRGGBB = (x * 8, y * 8, 0x40), so
    // that every pixel is distinct in 16 bits.
    static std::string WriteGradient(const std::string& file, int width, int height) {
        std::vector<std::uint32_t> pixels;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) pixels.push_back(((x * 8) & 0xFF) << 16 | ((y * 8) & 0xFF) << 8 | 0x40);
        return WritePicture(file, width, height, pixels);
    }

    static std::uint32_t GradientPixel(int x, int y) {
        return plat::MapRGB(krScreen.back->format, static_cast<std::uint8_t>(x * 8), static_cast<std::uint8_t>(y * 8),
                            0x40);
    }

    static std::uint32_t BackPixel(int x, int y) { return plat::GetPixel(*krScreen.back, x, y); }
    static std::uint32_t ObjectPixel(int slot, int x, int y) { return plat::GetPixel(*krObjects[slot].surface, x, y); }

    // Texts of the message boxes shown so far, and one expected text, both
    // in UTF-8 (the test's own literals are CP932).
    static std::vector<std::string> BoxTexts() {
        std::vector<std::string> out;
        for (const auto& box : plat::headless::Boxes()) out.push_back(box.textUtf8);
        return out;
    }
    static std::string Box(const char* label, const char* message) {
        return plat::Cp932ToUtf8((std::string(label) + " : " + message).c_str());
    }
};
