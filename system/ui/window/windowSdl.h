#ifndef TESSELLUNE_WINDOWSDL_H
#define TESSELLUNE_WINDOWSDL_H

// The SDL half of the window: video mode and caption.

void windowInitSdl(void);           // last step of windowInit
int windowShow(void);               // 1 on success, -1 when the mode cannot be set
// Stores (at most 255 bytes, cut at a UTF-8 character boundary) and shows it.
void windowSetTitle(const char* text);
void windowSetTitleTimer(const char* text); // shows "title text"; title is kept
void windowDeinit(void);            // the last call into SDL
unsigned int windowGetVideoFlags(void); // for tests: the flags windowShow passes to SDL
// For the entry, after windowInit: 0 when SDL found no display and fell
// back to a driver that shows nothing, unless SDL_VIDEODRIVER asked for one.
int windowHasDisplay(void);

#endif
