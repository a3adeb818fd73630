// Misuse of engine calls by their callers must cost one line on the standard
// error and do nothing harmful in every build: this suite runs in the release
// build, where an assert is gone, and under AddressSanitizer.

#include "system/capture/capture.h"
#include "system/graphics/graphics.h"
#include "system/graphics/image/image.h"
#include "system/io/io.h"
#include "system/math/general/general.h"
#include "system/math/sort/insertsort.h"
#include "system/math/splines/spline.h"
#include "system/player/player.h"
#include "system/ui/window/menu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <unistd.h>

namespace {

template <typename Call> void expectOneMisuseLine(const char* name, Call call)
{
    testing::internal::CaptureStderr();
    call();
    std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(printed.rfind(std::string("tessellune: misuse of ") + name + ": ", 0), 0u) << printed;
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << printed;
}

int vertices;
void anyWidth(float) {}
void anyBegin(unsigned int) {}
void countVertex(float, float, float) { vertices++; }
void anyEnd(void) {}

// A channel count indexing past the colour types, a container or layer freed
// twice, a spline solved from points past the end of its list.
TEST(EngineMisuse, BadCountsAndReleasedRecordsAreRefused)
{
    std::string path = "/tmp/tessellune-misuse-" + std::to_string(getpid()) + ".png";
    unsigned char pixels[4] = {};
    for (uint32_t channels : {0u, 5u}) {
        imageData_t image = {"bad", "bad", 1, 1, channels, reinterpret_cast<uintptr_t>(pixels)};
        expectOneMisuseLine("imageSavePNG", [&] { EXPECT_EQ(imageSavePNG(path.c_str(), &image), 0); });
        EXPECT_NE(access(path.c_str(), F_OK), 0) << "no file is written";
    }

    splineContainer* kept = addSplineContainer();
    splineContainer* gone = addSplineContainer();
    splineLayer* layer = addSplineLayer(kept);
    spline* sound = addSpline(layer);
    spline* overstated = addSpline(layer);
    for (int i = 0; i < 3; i++) {
        addSplinePoint(kept, sound, float(i), float(i), 0);
        addSplinePoint(kept, overstated, float(i), float(-i), 0);
    }
    overstated->size = 5;
    const splineDrawPlatform_t counter = {anyWidth, anyBegin, countVertex, anyEnd};
    splineSetDrawPlatform(&counter);
    vertices = 0;
    expectOneMisuseLine("drawSplineContainer", [&] { drawSplineContainer(kept, 0, 1); });
    EXPECT_EQ(vertices, 20) << "the sound spline is still drawn";
    overstated->size = 3;

    deleteSplineContainer(gone);
    expectOneMisuseLine("deleteSplineContainer", [&] { deleteSplineContainer(gone); });
    expectOneMisuseLine("drawSplineContainer", [&] { drawSplineContainer(gone, 0, 1); });
    EXPECT_EQ(getSplineContainerTail(), kept);
    splineLayer* extra = addSplineLayer(kept);
    deleteSplineLayer(extra);
    expectOneMisuseLine("deleteSplineLayer", [&] { deleteSplineLayer(extra); });
    EXPECT_EQ(kept->size, 1u);
    splineSetDrawPlatform(nullptr);
    deleteSplineContainer(kept);
}

// A null record or an index out of range, in each module a production calls.
TEST(EngineMisuse, NullRecordsAndIndicesOutOfRangeAreRefused)
{
    expectOneMisuseLine("imageLoadPNG", [] { EXPECT_EQ(imageLoadPNG(nullptr), nullptr); });
    expectOneMisuseLine("imageCreateTextureByImageData",
                        [] { EXPECT_EQ(imageCreateTextureByImageData(nullptr).id, 0u); });
    expectOneMisuseLine("imageCreateTexture", [] { EXPECT_EQ(imageCreateTexture(0, -4, "").id, 0u); });
    expectOneMisuseLine("setTexturePositionPixel", [] { setTexturePositionPixel(nullptr, 1, 2); });
    expectOneMisuseLine("get_gui_component", [] { EXPECT_EQ(get_gui_component(MENU_COMPONENTS), nullptr); });
    expectOneMisuseLine("gui_component_set_text", [] { gui_component_set_text(nullptr, "x"); });
    expectOneMisuseLine("isSync", [] { EXPECT_EQ(isSync(nullptr), 0); });
    playerScene* scene = addPlayerScene("scene", "0:00", "0:01", nullptr, nullptr, nullptr);
    expectOneMisuseLine("addVariableDecimal",
                        [&] { EXPECT_EQ(addVariableDecimal(scene, "x", nullptr), nullptr); });
    playerReset();
    expectOneMisuseLine("captureSoundFramesBefore", [] { EXPECT_EQ(captureSoundFramesBefore(30, 0), 0u); });
    expectOneMisuseLine("insertSortFloat", [] { insertSortFloat(nullptr, 3); });
    expectOneMisuseLine("rotateX", [] { rotateX(nullptr, 90); });
    expectOneMisuseLine("ioReadFileWithSize",
                        [] { EXPECT_EQ(ioReadFileWithSize("README.md", nullptr), nullptr); });
}

} // namespace
