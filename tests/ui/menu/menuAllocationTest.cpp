// The player screen is drawn 80 times a second for as long as the program
// runs, so a steady frame must not touch the heap. Only allocations made by
// this executable's own code (the engine is linked into it) are counted:
// the OpenGL driver and SDL keep and renew buffers of their own, which is
// theirs to do and no leak of ours.

#include "system/ui/window/menu.h"
#include "system/ui/window/window.h"
#include "tests/ui/menu/menuTestHelpers.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer brings its own allocator; counted in the plain build.
const bool allocationCounting = false;
std::atomic<long> ownAllocations{0};
#else
const bool allocationCounting = true;
std::atomic<long> ownAllocations{0};

extern "C" char __executable_start;
extern "C" char etext;
extern "C" void *__libc_malloc(size_t size);
extern "C" void *__libc_calloc(size_t count, size_t size);
extern "C" void *__libc_realloc(void *block, size_t size);

namespace {
void countIfOwn(const void *caller) {
  const char *at = static_cast<const char *>(caller);
  if (at >= &__executable_start && at < &etext)
    ownAllocations.fetch_add(1, std::memory_order_relaxed);
}
} // namespace

extern "C" void *malloc(size_t size) {
  countIfOwn(__builtin_return_address(0));
  return __libc_malloc(size);
}

extern "C" void *calloc(size_t count, size_t size) {
  countIfOwn(__builtin_return_address(0));
  return __libc_calloc(count, size);
}

extern "C" void *realloc(void *block, size_t size) {
  countIfOwn(__builtin_return_address(0));
  return __libc_realloc(block, size);
}

// new from our code reaches malloc through the C++ library, whose frame
// would hide the caller, so it is counted here.
void *operator new(size_t size) {
  countIfOwn(__builtin_return_address(0));
  void *block = __libc_malloc(size ? size : 1);
  if (!block)
    abort();
  return block;
}

void operator delete(void *block) noexcept { free(block); }

void operator delete(void *block, size_t) noexcept { free(block); }
#endif

namespace {

TEST(PlayerScreenFrame, SteadyFramesMakeNoAllocationOfTheirOwn) {
  if (!allocationCounting)
    GTEST_SKIP()
        << "malloc is the sanitizer's here; counted in the plain build";
  REQUIRE_GL_WINDOW(800, 500);
  resetViewport();
  menuInit();
  testDrainEvents();
  // The counter must see what it is meant to see.
  long before = ownAllocations.load();
  int *volatile probe = new int(1);
  delete probe;
  ASSERT_EQ(ownAllocations.load() - before, 1);

  // Frames as the main loop runs them: events, the screen, the label the
  // loop rewrites every frame, the swap.
  for (int frame = 0; frame < 5; frame++) {
    menuDraw();
    SDL_GL_SwapBuffers();
  }
  before = ownAllocations.load();
  for (int frame = 0; frame < 60; frame++) {
    testPushButton(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 400 + frame, 250);
    testPushButton(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 400 + frame, 250);
    menuDraw();
    gui_component_set_text(get_gui_component(5),
                           frame % 2 ? "Song A (04:05)" : "Song B");
    SDL_GL_SwapBuffers();
  }
  EXPECT_EQ(ownAllocations.load() - before, 0);
  menuDeinit();
  testDrainEvents();
}

} // namespace
