#ifndef TESSELLUNE_WINDOWSDL_H
#define TESSELLUNE_WINDOWSDL_H

// The SDL half of the window: video mode and caption.

void windowInitSdl(void);           // last step of windowInit
int windowShow(void);               // 1 on success, -1 when the mode cannot be set
void windowSetTitle(const char* text); // stores (at most 255 characters) and shows it
void windowSetTitleTimer(const char* text); // shows "title text"; title is kept
void windowDeinit(void);            // the last call into SDL
unsigned int windowGetVideoFlags(void); // for tests: the flags windowShow passes to SDL

#endif
