#include "system/graphics/graphics.h"

#include "system/ui/window/window.h"

#include <GL/gl.h>
#include <GL/glu.h>

void viewReset(void)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // The near plane is the single-precision 0.01 widened, as it always was.
    gluPerspective(45.0, double(getScreenWidth()) / double(getScreenHeight()), double(0.01f), 10000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void perspective2dBegin(int w, int h)
{
    glDisable(GL_DEPTH_TEST);
    glPushMatrix();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glPushMatrix();
    glOrtho(0, w, 0, h, 0, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void perspective2dEnd(void)
{
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glEnable(GL_DEPTH_TEST);
    viewReset();
}
