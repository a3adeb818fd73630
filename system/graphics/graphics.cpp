#include "system/graphics/graphics.h"

#include "system/debug/debugMisuse.h"
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

void setCustomDimensionToTexture(texture_t* texture, int w, int h)
{
    if (debugMisuseIfNull(texture, __func__, "the texture"))
        return;
    texture->hasCustomDimensions = 1;
    texture->customWidth = w ? uint32_t(w) : texture->w;
    texture->customHeight = h ? uint32_t(h) : texture->h;
}

void setTextureSizeToScreenSize(texture_t* texture)
{
    setCustomDimensionToTexture(texture, getScreenWidth(), getScreenHeight());
}

void alignTextureCenter(texture_t* texture, int center)
{
    if (debugMisuseIfNull(texture, __func__, "the texture"))
        return;
    texture->center = uint32_t(center);
}

void setTexturePositionPercent(texture_t* texture, float x, float y)
{
    if (debugMisuseIfNull(texture, __func__, "the texture"))
        return;
    texture->percentX = x;
    texture->percentY = y;
}

void setTexturePositionPixel(texture_t* texture, int x, int y)
{
    if (debugMisuseIfNull(texture, __func__, "the texture"))
        return;
    texture->x = uint32_t(x);
    texture->y = uint32_t(y);
    texture->percentX = float(x) / float(getScreenWidth());
    texture->percentY = float(y) / float(getScreenHeight());
}

void scaleTexture(texture_t* texture, float scaleW, float scaleH)
{
    if (debugMisuseIfNull(texture, __func__, "the texture"))
        return;
    texture->scaleW = scaleW;
    texture->scaleH = scaleH;
}

void setTextureAngle(texture_t* texture, float angle)
{
    if (debugMisuseIfNull(texture, __func__, "the texture"))
        return;
    texture->angle = angle;
}

void drawTexturedQuad(float x0, float y0, float x1, float y1)
{
    glBegin(GL_QUADS);
    glTexCoord2f(1, 1);
    glVertex3f(x1, y1, 0);
    glTexCoord2f(0, 1);
    glVertex3f(x0, y1, 0);
    glTexCoord2f(0, 0);
    glVertex3f(x0, y0, 0);
    glTexCoord2f(1, 0);
    glVertex3f(x1, y0, 0);
    glEnd();
}

// A picture without alpha under an opaque colour hides what lies below:
// blending would read the frame only to multiply it by zero, and the alpha
// test could only pass. Without either, the software renderer takes a draw
// that covers a whole tile as opaque and drops the work queued under it (the
// clear, a background), which a full-screen picture makes worth the query.
static bool coversBelow(const texture_t& texture)
{
    if (texture.hasAlpha)
        return false;
    float colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    return colour[3] >= 1.0f;
}

void showImage(texture_t texture)
{
    bool opaque = coversBelow(texture);
    bool alphaTest = glIsEnabled(GL_ALPHA_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    if (opaque) {
        glDisable(GL_BLEND);
        glDisable(GL_ALPHA_TEST);
    } else {
        glEnable(GL_BLEND);
    }
    glEnable(GL_TEXTURE_2D);
    float canvasWidth = float(getScreenWidth());
    float canvasHeight = float(getScreenHeight());
    glBindTexture(GL_TEXTURE_2D, texture.id);
    perspective2dBegin(int(canvasWidth), int(canvasHeight));
    float w = float(texture.customWidth) * texture.scaleW;
    float h = float(texture.customHeight) * texture.scaleH;
    float x = texture.percentX * canvasWidth;
    float y = texture.percentY * canvasHeight;
    if (texture.center == 1 || texture.center == 2)
        x += canvasWidth * 0.5f - w * 0.5f;
    if (texture.center == 1 || texture.center == 3)
        y += canvasHeight * 0.5f - h * 0.5f;
    if (texture.angle != 0.0f) { // NaN included
        glPushMatrix();
        glTranslatef(x, y, 0);
        glRotatef(texture.angle, 0, 0, 1);
        drawTexturedQuad(-w * 0.5f, -h * 0.5f, -w * 0.5f + w, -h * 0.5f + h);
        glPopMatrix();
    } else {
        drawTexturedQuad(x, y, x + w, y + h);
    }
    perspective2dEnd();
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    if (alphaTest)
        glEnable(GL_ALPHA_TEST);
}
