// The night-sky picture read into what the screen draws instead of it: the
// background's colours on a coarse grid and the stars as points. Pictures
// come from outside, so sizes down to one pixel are read too.

#include "effects/demo/demo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

const int W = 128, H = 72;

// Blue rising from the bottom row (the buffer's first) to the top.
int blueAt(int y)
{
    return 20 + 100 * y / (H - 1);
}

void addStar(std::vector<unsigned char>* rgba, float cx, float cy, float peak, float sigma)
{
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++) {
            float d2 = (float(x) + 0.5f - cx) * (float(x) + 0.5f - cx) + (float(y) + 0.5f - cy) * (float(y) + 0.5f - cy);
            float k = peak * expf(-d2 / (2 * sigma * sigma));
            for (int c = 0; c < 3; c++) {
                unsigned char& v = (*rgba)[(size_t(y) * W + size_t(x)) * 4 + size_t(c)];
                v = static_cast<unsigned char>(fminf(255.0f, float(v) + k));
            }
        }
}

const demoSkyStar_t* starNear(const demoSkyPicture_t& sky, float x, float y)
{
    for (int i = 0; i < sky.stars; i++)
        if (fabsf(sky.star[i].x * W - x) < 0.3f && fabsf(sky.star[i].y * H - y) < 0.3f)
            return &sky.star[i];
    return nullptr;
}

// Guards against stars smeared into the background (a bright grid corner
// where a star sits), stars lost or misplaced, and the grid read upside down.
TEST(SkyPicture, TheGridFollowsTheBackgroundAndTheStarsAreFoundWhereTheyShine)
{
    std::vector<unsigned char> rgba(size_t(W) * H * 4);
    for (int y = 0; y < H; y++)
        for (int x = 0; x < W; x++) {
            unsigned char* p = &rgba[(size_t(y) * W + size_t(x)) * 4];
            p[0] = p[1] = 10;
            p[2] = static_cast<unsigned char>(blueAt(y));
            p[3] = 255;
        }
    addStar(&rgba, 40.5f, 54.5f, 200.0f, 0.7f); // on a grid corner: x 40 = 10 of 32 columns, y 54 = 13.5 rows
    addStar(&rgba, 100.5f, 20.5f, 60.0f, 1.2f);
    imageData_t image = {"sky", "sky", W, H, 4, reinterpret_cast<uintptr_t>(rgba.data())};
    auto sky = std::make_unique<demoSkyPicture_t>();
    demoSkyFromImage(&image, sky.get());
    ASSERT_TRUE(sky->ready);
    EXPECT_EQ(sky->width, W);
    EXPECT_EQ(sky->height, H);
    ASSERT_EQ(sky->stars, 2);
    const demoSkyStar_t* bright = starNear(*sky, 40.5f, 54.5f);
    const demoSkyStar_t* faint = starNear(*sky, 100.5f, 20.5f);
    ASSERT_NE(bright, nullptr);
    ASSERT_NE(faint, nullptr);
    EXPECT_GT(bright->rgb[0], 0.6f);
    EXPECT_LT(faint->rgb[0], 0.3f);
    EXPECT_GT(faint->size, bright->size) << "the wider star is drawn larger";
    for (int j = 0; j <= DEMO_SKY_ROWS; j++)
        for (int i = 0; i <= DEMO_SKY_COLUMNS; i++) {
            const float* c = sky->corner[j][i];
            float y = float(j) * H / DEMO_SKY_ROWS;
            EXPECT_NEAR(c[0], 10 / 255.0f, 1.5f / 255) << i << "," << j;
            EXPECT_NEAR(c[2], float(blueAt(int(fminf(y, H - 1.0f)))) / 255.0f, 12.0f / 255) << i << "," << j;
        }
}

// Guards against reads outside small pictures and a picture without pixels
// taken for a sky.
TEST(SkyPicture, TinyAndEmptyPicturesGiveAnEvenGridOrNone)
{
    unsigned char white[4] = {255, 255, 255, 255};
    imageData_t one = {"sky", "sky", 1, 1, 4, reinterpret_cast<uintptr_t>(white)};
    auto sky = std::make_unique<demoSkyPicture_t>();
    demoSkyFromImage(&one, sky.get());
    ASSERT_TRUE(sky->ready);
    EXPECT_EQ(sky->stars, 0);
    EXPECT_FLOAT_EQ(sky->corner[DEMO_SKY_ROWS][DEMO_SKY_COLUMNS][1], 1.0f);
    imageData_t none = {"sky", "sky", 0, 0, 4, reinterpret_cast<uintptr_t>(white)};
    demoSkyFromImage(&none, sky.get());
    EXPECT_FALSE(sky->ready);
}

} // namespace
