#include "system/graphics/image/image.h"
#include "tests/graphics/image/pngFixtures.h"
#include "tests/support/testData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <png.h>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const uint8_t* pixelAt(const imageData_t* image, uint32_t index)
{
    return reinterpret_cast<const uint8_t*>(image->pixels) + size_t(index) * 4;
}

// The record's four bytes for pixel (x, y), y counted from the TOP row, built
// from a reference decode with `channels` samples per pixel.
void expectedPixel(const referenceImage_t& ref, uint32_t x, uint32_t y, uint8_t out[4])
{
    const uint8_t* s = ref.samples.data() + (size_t(y) * ref.w + x) * ref.channels;
    switch (ref.channels) {
    case 1: out[0] = out[1] = out[2] = s[0]; out[3] = 0; break;
    case 2: out[0] = out[1] = out[2] = s[0]; out[3] = s[1]; break;
    case 3: out[0] = s[0]; out[1] = s[1]; out[2] = s[2]; out[3] = 0; break;
    default: out[0] = s[0]; out[1] = s[1]; out[2] = s[2]; out[3] = s[3]; break;
    }
}

// Returns the number of differing bytes, reporting only the first.
int compareWithReference(const imageData_t* image, const referenceImage_t& ref)
{
    int mismatches = 0;
    for (uint32_t y = 0; y < ref.h; y++) {
        for (uint32_t x = 0; x < ref.w; x++) {
            uint8_t want[4];
            expectedPixel(ref, x, y, want);
            const uint8_t* got = pixelAt(image, (ref.h - 1 - y) * ref.w + x);
            for (int c = 0; c < 4; c++) {
                if (got[c] != want[c] && mismatches++ == 0)
                    ADD_FAILURE() << "first difference at x " << x << ", row " << y << " from the top, byte " << c
                                  << ": " << int(got[c]) << " instead of " << int(want[c]);
            }
        }
    }
    return mismatches;
}

std::vector<fs::path> pngFilesIn(const std::string& dir, bool recursive)
{
    std::vector<fs::path> files;
    auto take = [&](const fs::directory_entry& entry) {
        // The fuzzers' regression inputs have no extension.
        std::string extension = entry.path().extension().string();
        if (entry.is_regular_file() && (extension == ".png" || (extension.empty() && recursive)))
            files.push_back(entry.path());
    };
    if (recursive)
        for (const auto& entry : fs::recursive_directory_iterator(dir))
            take(entry);
    else
        for (const auto& entry : fs::directory_iterator(dir))
            take(entry);
    std::sort(files.begin(), files.end());
    return files;
}

// Whatever the loader makes of a file, it must agree with libpng's own verdict:
// null exactly when the reference fails, the reference's pixels otherwise.
void expectAgreesWithReference(const fs::path& file)
{
    SCOPED_TRACE(file.string());
    referenceImage_t ref = referenceDecode(file.string());
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    imageData_t* image = imageLoadPNG(file.c_str());
    EXPECT_EQ(testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr(), "")
        << "a null result is the whole report";
    if (!ref.ok) {
        EXPECT_EQ(image, nullptr) << "libpng rejects this file";
    } else if (image == nullptr) {
        ADD_FAILURE() << "libpng decodes this file but the loader gave null";
    } else {
        EXPECT_EQ(image->w, ref.w);
        EXPECT_EQ(image->h, ref.h);
        EXPECT_EQ(image->channels, ref.channels);
        if (image->w == ref.w && image->h == ref.h && image->channels == ref.channels) {
            EXPECT_EQ(compareWithReference(image, ref), 0);
        }
    }
    imageDataFree(image);
}

class PngSuiteTest : public ::testing::Test {
protected:
    std::string suite = testDataDir("pngsuite"), corruptDir = testDataDir("png-corrupt");
};

// Guards against every decoding fault that changes pixels: a wrong expansion of
// palette, 16-bit, sub-8-bit or transparency-chunk images, lost interlace
// passes, rows not flipped, the wrong channel count or alpha byte; and
// against alpha made from the transparency chunk of an 8-bit RGB image,
// which is taken as stored, while the expanded kinds turn theirs into alpha.
TEST_F(PngSuiteTest, EveryValidImageDecodesToTheReferencePixelsBottomRowFirst)
{
    int checked = 0;
    for (const fs::path& file : pngFilesIn(suite, false)) {
        if (file.filename().string()[0] == 'x')
            continue;
        SCOPED_TRACE(file.string());
        imageData_t* image = imageLoadPNG(file.c_str());
        ASSERT_NE(image, nullptr) << "a valid image must load";
        EXPECT_EQ(image->name, file.c_str()) << "the caller's pointer, not a copy";
        EXPECT_EQ(image->filename, file.c_str());
        imageDataFree(image);
        expectAgreesWithReference(file);
        checked++;
    }
    EXPECT_GE(checked, 162);
    const std::pair<const char*, uint32_t> transparencyChunks[] = {
        {"tbrn2c08", 3}, {"tbbn0g04", 2}, {"tbgn2c16", 4}};
    for (const auto& [name, channels] : transparencyChunks) {
        imageData_t* image = imageLoadPNG((suite + "/" + name + ".png").c_str());
        ASSERT_NE(image, nullptr) << name;
        EXPECT_EQ(image->channels, channels) << name;
        imageDataFree(image);
    }
}

// Parses the flat [r,g,b,a,...] arrays of the suite's second, non-libpng oracle.
std::vector<int> readJsonNumbers(const fs::path& file)
{
    std::ifstream in(file);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::replace_if(text.begin(), text.end(), [](char c) { return c == '[' || c == ']' || c == ','; }, ' ');
    std::istringstream numbers(text);
    std::vector<int> values;
    for (int v; numbers >> v;)
        values.push_back(v);
    return values;
}

// A second oracle from a decoder that shares no code with libpng, so a fault
// both libpng decodes would hide still shows. Its 16-bit conversion rounds
// where libpng truncates: one unit of tolerance there.
TEST_F(PngSuiteTest, EightBitImagesMatchAnIndependentDecoder)
{
    int checked = 0;
    for (const fs::path& file : pngFilesIn(suite, false)) {
        std::string stem = file.stem().string();
        fs::path json = fs::path(suite) / "json-rgba8" / (stem + "_to8.json");
        int tolerance = 1;
        if (!fs::exists(json)) {
            json = fs::path(suite) / "json-rgba8" / (stem + ".json");
            tolerance = 0;
        }
        if (stem[0] == 'x' || !fs::exists(json))
            continue;
        std::vector<int> want = readJsonNumbers(json);
        if (std::any_of(want.begin(), want.end(), [](int v) { return v > 255; }))
            continue; // 16-bit values only
        SCOPED_TRACE(file.string());
        imageData_t* image = imageLoadPNG(file.c_str());
        ASSERT_NE(image, nullptr);
        ASSERT_EQ(want.size(), size_t(image->w) * image->h * 4);
        bool alpha = image->channels == 2 || image->channels == 4;
        int worst = 0;
        for (uint32_t y = 0; y < image->h; y++)
            for (uint32_t x = 0; x < image->w; x++)
                for (int c = 0; c < (alpha ? 4 : 3); c++) {
                    int got = pixelAt(image, (image->h - 1 - y) * image->w + x)[c];
                    worst = std::max(worst, std::abs(got - want[(size_t(y) * image->w + x) * 4 + size_t(c)]));
                }
        EXPECT_LE(worst, tolerance);
        if (!alpha) {
            EXPECT_EQ(pixelAt(image, 0)[3], 0) << "images without alpha carry a zero alpha byte";
        }
        imageDataFree(image);
        checked++;
    }
    EXPECT_GE(checked, 150);
}

// Guards against crashes, leaks, reads past the end and files left open on
// the recovery path: corrupt headers, bad CRCs and zlib streams, chunks whose
// length runs past the end, palettes too short for their indices.
TEST_F(PngSuiteTest, CorruptAndTruncatedFilesGiveNullOrTheReferencePixelsWithNothingLeftOpen)
{
    std::vector<fs::path> files;
    for (const fs::path& file : pngFilesIn(suite, false))
        if (file.filename().string()[0] == 'x')
            files.push_back(file);
    EXPECT_EQ(files.size(), 14u);
    std::vector<fs::path> corrupt = pngFilesIn(corruptDir, true);
    EXPECT_GE(corrupt.size(), 50u);
    files.insert(files.end(), corrupt.begin(), corrupt.end());
    int openBefore = countOpenFiles();
    for (const fs::path& file : files)
        expectAgreesWithReference(file);
    EXPECT_EQ(countOpenFiles(), openBefore);
    for (const fs::path& file : pngFilesIn(suite, false))
        if (file.filename().string()[0] == 'x') {
            EXPECT_EQ(imageLoadPNG(file.c_str()), nullptr) << file << " is corrupt throughout";
        }
}

class OwnPngTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = makeScratchDir();
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override { removeScratchDir(dir); }
    std::string dir;
};

// Guards against rows stored top first and a wrong byte order.
TEST_F(OwnPngTest, TwoByTwoRgbaKeepsTheRedCornerInTheTopRow)
{
    std::string path = dir + "/corner.png";
    // Top row: red, green; bottom row: blue, half-transparent white.
    ASSERT_TRUE(writeTestPng(path, 2, 2, PNG_COLOR_TYPE_RGB_ALPHA,
                             {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 128}));
    imageData_t* image = imageLoadPNG(path.c_str());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->w, 2u);
    EXPECT_EQ(image->h, 2u);
    EXPECT_EQ(image->channels, 4u);
    const uint8_t want[4][4] = {{0, 0, 255, 255}, {255, 255, 255, 128}, {255, 0, 0, 255}, {0, 255, 0, 255}};
    for (uint32_t i = 0; i < 4; i++)
        EXPECT_EQ(0, memcmp(pixelAt(image, i), want[i], 4)) << "pixel index " << i;
    imageDataFree(image);
}

// Guards against grey expanded into the wrong bytes or given a visible alpha,
// also by a transparency chunk, which 8-bit grey does not apply.
TEST_F(OwnPngTest, GreyAndGreyAlphaFillRgbWithTheGreyLevel)
{
    std::string grey = dir + "/grey.png", greyAlpha = dir + "/greyAlpha.png";
    ASSERT_TRUE(writeTestPng(grey, 3, 1, PNG_COLOR_TYPE_GRAY, {0, 77, 255}, 77));
    ASSERT_TRUE(writeTestPng(greyAlpha, 2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, {10, 200, 250, 0}));
    imageData_t* image = imageLoadPNG(grey.c_str());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->channels, 1u);
    const uint8_t wantGrey[3][4] = {{0, 0, 0, 0}, {77, 77, 77, 0}, {255, 255, 255, 0}};
    for (uint32_t i = 0; i < 3; i++)
        EXPECT_EQ(0, memcmp(pixelAt(image, i), wantGrey[i], 4)) << "pixel " << i;
    imageDataFree(image);
    image = imageLoadPNG(greyAlpha.c_str());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->channels, 2u);
    const uint8_t wantGreyAlpha[2][4] = {{10, 10, 10, 200}, {250, 250, 250, 0}};
    for (uint32_t i = 0; i < 2; i++)
        EXPECT_EQ(0, memcmp(pixelAt(image, i), wantGreyAlpha[i], 4)) << "pixel " << i;
    imageDataFree(image);
}

// Guards against a message on a missing file, and against output or a file
// left open when the file ends inside its pixel data.
TEST_F(OwnPngTest, MissingAndTruncatedFilesGiveNullAndCloseTheFile)
{
    int openBefore = countOpenFiles();
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    imageData_t* missing = imageLoadPNG((dir + "/nothing-here.png").c_str());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(missing, nullptr);

    // Noise does not compress, so the pixel data is most of the file.
    std::mt19937 random(5);
    std::vector<uint8_t> noise(64 * 64 * 3);
    for (uint8_t& b : noise)
        b = uint8_t(random());
    std::string whole = dir + "/whole.png", cut = dir + "/cut.png";
    ASSERT_TRUE(writeTestPng(whole, 64, 64, PNG_COLOR_TYPE_RGB, noise));
    imageData_t* complete = imageLoadPNG(whole.c_str());
    ASSERT_NE(complete, nullptr) << "the untruncated file loads";
    imageDataFree(complete);
    std::string bytes;
    {
        std::ifstream in(whole, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    ASSERT_GT(bytes.size(), noise.size());
    std::ofstream(cut, std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    EXPECT_EQ(imageLoadPNG(cut.c_str()), nullptr);
    EXPECT_EQ(countOpenFiles(), openBefore);
}

// Guards against the loader trusting a header's size: a tiny file may claim
// any size up to 2^31 per side, and the buffer is allocated before the data is
// read. The limit is the documented side length, no less.
TEST_F(OwnPngTest, SidesBeyondTheLimitAreRefused)
{
    std::string atLimit = dir + "/atLimit.png", beyond = dir + "/beyond.png";
    ASSERT_TRUE(writeTestPng(atLimit, IMAGE_MAX_SIDE, 1, PNG_COLOR_TYPE_GRAY, std::vector<uint8_t>(IMAGE_MAX_SIDE, 9)));
    ASSERT_TRUE(writeTestPng(beyond, 1, IMAGE_MAX_SIDE + 1, PNG_COLOR_TYPE_GRAY,
                             std::vector<uint8_t>(IMAGE_MAX_SIDE + 1, 9)));
    imageData_t* image = imageLoadPNG(atLimit.c_str());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->w, uint32_t(IMAGE_MAX_SIDE));
    imageDataFree(image);
    testing::internal::CaptureStderr();
    EXPECT_EQ(imageLoadPNG(beyond.c_str()), nullptr);
    testing::internal::GetCapturedStderr();
}

// Guards against a writer that flips the rows, drops or swaps samples, or
// pads odd rows: what it writes must read back through the engine's own
// loader and an independent decoder as the same bytes, for every channel
// count. The larger image goes first, so the smaller one is saved with the
// buffers the writer kept. A file that cannot be created is a 0, not a crash.
TEST_F(OwnPngTest, SavedImagesReadBackByteForByteInEveryChannelCount)
{
    const uint32_t sizes[][2] = {{37, 23}, {5, 3}}; // odd rows: no four-byte alignment to lean on
    for (int run = 0; run < 8; run++) {
        const uint32_t channels = uint32_t(run / 2 + 1), w = sizes[run % 2][0], h = sizes[run % 2][1];
        std::vector<uint8_t> rgba(w * h * 4);
        for (size_t i = 0; i < rgba.size(); i++)
            rgba[i] = uint8_t(i * 37 + 11 + w);
        SCOPED_TRACE(std::to_string(channels) + " channels, " + std::to_string(w) + " wide");
        imageData_t source = {"frame", "frame", w, h, channels, reinterpret_cast<uintptr_t>(rgba.data())};
        std::string path = dir + "/saved" + std::to_string(channels) + ".png";
        ASSERT_EQ(imageSavePNG(path.c_str(), &source), 1);
        referenceImage_t ref = referenceDecode(path);
        ASSERT_TRUE(ref.ok);
        EXPECT_EQ(ref.channels, channels);
        imageData_t* back = imageLoadPNG(path.c_str());
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(back->channels, channels);
        ASSERT_EQ(back->w, w);
        ASSERT_EQ(back->h, h);
        EXPECT_EQ(compareWithReference(back, ref), 0) << "the loader and the reference agree";
        for (uint32_t i = 0; i < w * h; i++) {
            const uint8_t* in = &rgba[i * 4];
            bool grey = channels <= 2, alpha = channels % 2 == 0;
            uint8_t want[4] = {in[0], grey ? in[0] : in[1], grey ? in[0] : in[2], alpha ? in[3] : uint8_t(0)};
            EXPECT_EQ(0, memcmp(pixelAt(back, i), want, 4)) << "pixel index " << i;
        }
        imageDataFree(back);
    }
    std::vector<uint8_t> rgba(5 * 3 * 4, 7);
    imageData_t source = {"frame", "frame", 5, 3, 3, reinterpret_cast<uintptr_t>(rgba.data())};
    EXPECT_EQ(imageSavePNG((dir + "/no/such/folder.png").c_str(), &source), 0);
}

// Guards the compressor on the content that takes each of its ways: noise
// (nothing repeats: stored blocks), one flat colour (the longest repeats, over
// several blocks), steps (repeats a pixel back and a row back), identical
// rows too wide to reach a row back, and a single pixel. An independent
// decoder must read each back exactly, noise may grow only by the blocks'
// headers and a flat frame must shrink to almost nothing.
TEST_F(OwnPngTest, SavedFramesOfEveryKindDecodeExactly)
{
    struct kind_t {
        const char* name;
        uint32_t w, h, channels;
    };
    const kind_t kinds[] = {
        {"noise", 300, 200, 3}, {"flat", 700, 300, 4}, {"steps", 640, 360, 3}, {"wide", 11000, 3, 3}, {"dot", 1, 1, 1}};
    std::mt19937 random(5);
    for (const kind_t& kind : kinds) {
        SCOPED_TRACE(kind.name);
        std::vector<uint8_t> rgba(size_t(kind.w) * kind.h * 4);
        for (size_t i = 0; i < rgba.size(); i++) {
            size_t x = i / 4 % kind.w, y = i / 4 / kind.w;
            switch (kind.name[0]) {
            case 'n': rgba[i] = uint8_t(random()); break;
            case 'f': rgba[i] = uint8_t(40 + i % 4); break;
            case 's': rgba[i] = uint8_t(x / 16 * 3 + y / 8 + i % 4 * 50); break;
            default: rgba[i] = uint8_t(x * 7 + x * x / 13 + i % 4); break;
            }
        }
        imageData_t source = {"frame", "frame", kind.w, kind.h, kind.channels, reinterpret_cast<uintptr_t>(rgba.data())};
        std::string path = dir + "/" + kind.name + ".png";
        ASSERT_EQ(imageSavePNG(path.c_str(), &source), 1);
        referenceImage_t ref = referenceDecode(path);
        ASSERT_TRUE(ref.ok);
        imageData_t* back = imageLoadPNG(path.c_str());
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(compareWithReference(back, ref), 0);
        imageDataFree(back);
        for (uint32_t i = 0; i < kind.w * kind.h; i++) { // the file's first row is the record's last
            size_t saved = (size_t(kind.h - 1 - i / kind.w) * kind.w + i % kind.w) * 4;
            if (memcmp(&ref.samples[size_t(i) * kind.channels], &rgba[saved], kind.channels) != 0) {
                ADD_FAILURE() << "pixel " << i << " differs from the one saved";
                break;
            }
        }
        uintmax_t rows = (1 + uintmax_t(kind.w) * kind.channels) * kind.h, size = fs::file_size(path);
        if (kind.name[0] == 'n') {
            EXPECT_LT(size, rows + 200);
        } else if (kind.name[0] == 'f') {
            EXPECT_LT(size, rows / 200);
        }
    }
}

// Guards against a failed load that still creates a texture or returns junk:
// no OpenGL context is needed because nothing may reach OpenGL.
TEST(ImageLoadImageTest, MissingFileGivesAnEmptyRecordWithoutTouchingOpenGl)
{
    texture_t texture = imageLoadImage("/nonexistent/picture.png");
    texture_t empty = {};
    EXPECT_EQ(0, memcmp(&texture, &empty, sizeof texture));
}

} // namespace
