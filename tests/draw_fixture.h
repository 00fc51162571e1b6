// A fresh shell and screen state for the graphics tests, with pictures
// written as 24-bit BMP files into a folder beside the test program (where
// the engine looks for them).
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "draw/krDraw.h"
#include "platform/text/cp932.h"
#include "platform/headless/headless.h"
#include "platform/os/window.h"
#include "shell_fixture.h"

class DrawTest : public ShellTest {
protected:
    // Beside the program, one per process: ctest runs tests in parallel.
    // Five characters, as picture names are limited to 30.
    static std::string Folder() {
        char name[8];
        std::snprintf(name, sizeof name, "k%04d", static_cast<int>(getpid() % 10000));
        return name;
    }

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

    static std::string ToUpper(std::string s) {
        for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return s;
    }

    static std::filesystem::path FolderPath() {
        return std::filesystem::path(plat::ProgramPath()).parent_path() / Folder();
    }

    // Opens the main window (and with it the front surface).
    void OpenWindow() {
        plat::RegisterWindowClass("DEFAULT", &krSystem::WindowProc, 0x0B);
        krSystemState.mainWindow = plat::CreateMainWindow("DEFAULT", "t", 0, 0, 0, 800, 600);
        ASSERT_NE(krSystemState.mainWindow, 0u);
    }

    // Writes a 24-bit picture of 0xRRGGBB pixels given row by row from the
    // top; returns its engine name, "kNNNN\<file>".
    static std::string WritePicture(const std::string& file, int width, int height,
                                    const std::vector<std::uint32_t>& pixels) {
        const int stride = (width * 3 + 3) & ~3;
        std::vector<std::uint8_t> b(54 + static_cast<std::size_t>(stride) * height, 0);
        const std::uint32_t header[] = {static_cast<std::uint32_t>(b.size()), 0, 54, 40,
                                        static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                                        1 | 24 << 16};
        b[0] = 'B', b[1] = 'M';
        for (std::size_t i = 0; i < std::size(header); ++i)
            for (int k = 0; k < 4; ++k) b[2 + 4 * i + k] = static_cast<std::uint8_t>(header[i] >> (8 * k));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                for (int k = 0; k < 3; ++k)
                    b[54 + static_cast<std::size_t>(height - 1 - y) * stride + 3 * x + k] =
                        static_cast<std::uint8_t>(pixels[static_cast<std::size_t>(y) * width + x] >> (8 * k));
        std::FILE* f = std::fopen((FolderPath() / std::u8string(file.begin(), file.end())).string().c_str(), "wb");
        EXPECT_NE(f, nullptr) << file;
        if (f) {
            std::fwrite(b.data(), 1, b.size(), f);
            std::fclose(f);
        }
        return Folder() + "\\" + file;
    }

    // A picture whose pixel (x, y) is (x * 8, y * 8, 0x40): distinct in 16 bits.
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

    // The text of the last message box, and an expected one, both in UTF-8
    // (the test's own literals are CP932).
    static std::string LastBox() {
        const auto& boxes = plat::headless::Boxes();
        return boxes.empty() ? std::string() : boxes.back().textUtf8;
    }
    static std::string Box(const char* label, const char* message) {
        return plat::Cp932ToUtf8((std::string(label) + " : " + message).c_str());
    }
};
