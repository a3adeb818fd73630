#include "system/ui/window/menu.h"

#include "system/ui/window/menuPlayer.h"

#include "system/audio/sound.h"
#include "system/debug/debugMisuse.h"
#include "system/graphics/font/font.h"
#include "system/ui/window/window.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// One list name for every byte value: glCallLists reads the text as unsigned
// bytes, so codes 128..255 must land on empty lists of our own rather than on
// whatever another module compiled right after a 128-name block.
const int FONT_LISTS = 256;
const int FONT_PITCH = 10;  // units a glyph moves the raster position right
const int FONT_ROWS = 13;   // rows of a glyph in font_rasters
const int TEXT_DROP = 5;    // the text's raster position sits this far below a box's middle

enum { EVENT_NONE, EVENT_QUIT, EVENT_KEY_DOWN, EVENT_BUTTON_DOWN, EVENT_BUTTON_UP };
const int LEFT_BUTTON_PRESS = 200;
const int KEY_ESCAPE = 100, KEY_RETURN = 101;

// Only the first components can be hit: the transport buttons, the song
// label and the top of the logo.
const int HIT_COMPONENTS = 9;
// Selection of the transport buttons and the label lasts one frame.
const int ONE_FRAME_COMPONENTS = 6;

const int LOGO_LINES = 12;
const char* const QORLOGO[LOGO_LINES] = {
    "   ______________        ______________      _______________",
    "  /   ________   \\      /   ________   \\    |    _________  \\",
    " /   /        \\   \\    /   /        \\   \\   |   |         \\  \\",
    "|   |          |   |  |   |          |   |  |   |          |  |",
    "|   |          |   |  |   |          |   |  |   |_________/  /",
    "|   |          |   |  |   |          |   |  |    ____    __/",
    "|   |     __   |   |  |   |          |   |  |   |    \\   \\",
    "|   |     \\ \\  |   |  |   |          |   |  |   |     \\   \\",
    " \\   \\_____\\ \\/   /    \\   \\________/   /   |   |      \\   \\",
    "  \\___________\\  /      \\______________/    |___|       \\___\\",
    "               \\_\\_                            2  0  1  4",
    "                 \\__\\______________________________________________",
};

// The text texture: TEXT_ROWS rows of TEXT_ROW_H texels, each row one run
// of a text's glyphs, at most TEXT_ROW_CHARS of them (see drawGlyphs).
const int TEXT_TEXTURE_SIDE = 1024, TEXT_ROW_H = 16;
const int TEXT_ROWS = TEXT_TEXTURE_SIDE / TEXT_ROW_H;
const int TEXT_ROW_CHARS = TEXT_TEXTURE_SIDE / FONT_PITCH;

struct textRow_t {
    char text[TEXT_ROW_CHARS + 1]; // drawable codes only; "" for a free row
    int length;
    unsigned long long lastUsed;
};

struct menuState_t {
    gui_component_t menu_component[MENU_COMPONENTS];
    gui_mouse_t gui_mouse_event;
    unsigned int font_offset; // first of FONT_LISTS list names; 0 = no font
    unsigned int text_texture; // the texts drawn lately, one a row; see make_text_texture
    textRow_t textRows[TEXT_ROWS];
    unsigned long long textUses; // counts row uses, so the row unused longest can be told
    unsigned char rowTexels[TEXT_TEXTURE_SIDE * TEXT_ROW_H]; // one row being set down
    int menu_done;
    int event_type;   // this frame's event, EVENT_*
    int button_press; // LEFT_BUTTON_PRESS when this frame's button event is the left button
    int key_press;    // KEY_RETURN / KEY_ESCAPE; kept for symmetry, nothing reads it
    int mouseActioncomponent;        // under the pointer this frame, or -1
    int mouseSelectedcomponent = -1; // under the pointer at the last press, or -1
    void (*stopSound)(void) = soundStop;
};

menuState_t menu;

// --- raster font -------------------------------------------------------

// Why the glyphs are not bitmaps: Mesa's software renderer draws every
// glBitmap kept in a display list as a draw call of its own and keeps about
// 60 kB of rasteriser state for each until the frame is shown, so the
// player screen's 750 glyphs would cost 40 % of a core and 45 MB. A few
// rectangles a glyph instead still cost it a triangle pair each. So a text
// is drawn as a few textured quads, one a run of glyphs: the run is set
// down on the 10-pixel pitch in a row of the text texture once and kept
// there while it is shown (the screen's texts rarely change: the logo
// never, the time line once a second). A quad lies in window pixels at the
// raster position, its corners on whole pixels, and each pixel centre
// samples the centre of its own texel (nearest filtering); the alpha test
// cuts out the paper. So the pixels come out as glBitmap(8, 13, 0, 2, 10, 0,
// row) a glyph would leave them. The glyphs' lists then only move the
// raster position, as their bitmaps would.

void make_text_texture(void)
{
    glGenTextures(1, &menu.text_texture);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glBindTexture(GL_TEXTURE_2D, menu.text_texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA, TEXT_TEXTURE_SIDE, TEXT_TEXTURE_SIDE, 0, GL_ALPHA,
                 GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(GL_TEXTURE_2D, GLuint(bound));
    for (textRow_t& row : menu.textRows)
        row.text[0] = 0;
}

// The row holding `glyphs` (drawable codes only), set down now if no row
// holds it, in the row unused longest. The text texture is bound.
int textRow(const char* glyphs, int count)
{
    int oldest = 0;
    for (int i = 0; i < TEXT_ROWS; i++) {
        textRow_t* row = &menu.textRows[i];
        if (row->length == count && row->text[0] && memcmp(row->text, glyphs, size_t(count)) == 0) {
            row->lastUsed = ++menu.textUses;
            return i;
        }
        if (row->lastUsed < menu.textRows[oldest].lastUsed)
            oldest = i;
    }
    textRow_t* row = &menu.textRows[oldest];
    memcpy(row->text, glyphs, size_t(count));
    row->text[count] = 0;
    row->length = count;
    row->lastUsed = ++menu.textUses;
    unsigned char* texels = menu.rowTexels;
    memset(texels, 0, sizeof menu.rowTexels);
    for (int i = 0; i < count; i++) {
        const unsigned char* rows = font_rasters[(unsigned char)glyphs[i] - FONT_FIRST_CODE];
        for (int y = 0; y < FONT_ROWS; y++)
            for (int column = 0; column < 8; column++)
                if (rows[y] & (0x80 >> column))
                    texels[y * TEXT_TEXTURE_SIDE + i * FONT_PITCH + column] = 255;
    }
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, oldest * TEXT_ROW_H, TEXT_TEXTURE_SIDE, TEXT_ROW_H, GL_ALPHA,
                    GL_UNSIGNED_BYTE, texels);
    glPopClientAttrib();
    return oldest;
}

void make_raster_font(void)
{
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    menu.font_offset = glGenLists(FONT_LISTS);
    if (menu.font_offset == 0) {
        fprintf(stderr, "tessellune: no OpenGL display lists for the player screen's font\n");
        return;
    }
    // Codes outside 32..126 keep empty lists: they draw nothing and do not
    // move the raster position. Mesa ignores a listed zero-size glBitmap
    // whose image pointer is null: it must point somewhere, though nothing
    // is read.
    static const GLubyte noImage = 0;
    for (int code = FONT_FIRST_CODE; code <= 126; code++) {
        glNewList(menu.font_offset + unsigned(code), GL_COMPILE);
        glBitmap(0, 0, 0.0f, 0.0f, float(FONT_PITCH), 0.0f, &noImage);
        glEndList();
    }
    make_text_texture();
}

// What the glyphs change beyond the attribute groups pushed for them: saved
// and put back by value, because pushing the texture group copies every
// texture unit's state, which costs more than the text itself.
struct glyphSaved_t {
    GLfloat projection[16];
    GLint texture, envMode, alphaFunc;
    GLfloat alphaRef;
};

// Window pixels with the origin on the pixel where glBitmap would put the
// glyph's lower-left corner: the raster position less the y origin of 2,
// rounded down as Mesa rounds it. Depth maps to the raster position's, so a
// depth test would see the same values. The colour is the raster colour, as
// for a bitmap; the polygon states that do not apply to bitmaps are off.
void glyphSpaceBegin(const GLfloat raster[4], glyphSaved_t* saved)
{
    GLint viewport[4];
    GLfloat rasterColour[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetFloatv(GL_CURRENT_RASTER_COLOR, rasterColour);
    glGetFloatv(GL_PROJECTION_MATRIX, saved->projection);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &saved->texture);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &saved->envMode);
    glGetIntegerv(GL_ALPHA_TEST_FUNC, &saved->alphaFunc);
    glGetFloatv(GL_ALPHA_TEST_REF, &saved->alphaRef);
    glPushAttrib(GL_ENABLE_BIT | GL_POLYGON_BIT | GL_TRANSFORM_BIT);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glDisable(GL_CULL_FACE);
    glDisable(GL_POLYGON_SMOOTH);
    glDisable(GL_POLYGON_STIPPLE);
    glDisable(GL_LIGHTING);
    // Nor do smoothing of points and lines; left on (the player's start-up
    // turns both on), Mesa's software renderer samples the text texture
    // wrongly once the progress bar's smooth outline has been drawn.
    glDisable(GL_POINT_SMOOTH);
    glDisable(GL_LINE_SMOOTH);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, menu.text_texture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    // The atlas's paper has alpha 0; the ink keeps the raster colour's alpha.
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.0f);
    glColor4fv(rasterColour);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(viewport[0], viewport[0] + viewport[2], viewport[1], viewport[1] + viewport[3], 0.0, -1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    const float epsilon = 0.0001f;
    glTranslatef(floorf(raster[0] + epsilon), floorf(raster[1] + epsilon - 2.0f), raster[2]);
}

// The projection is put back by value: the GUI pass already holds a pushed
// projection, and the stack may be only two deep.
void glyphSpaceEnd(const glyphSaved_t& saved)
{
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(saved.projection);
    glAlphaFunc(GLenum(saved.alphaFunc), saved.alphaRef);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, saved.envMode);
    glBindTexture(GL_TEXTURE_2D, GLuint(saved.texture));
    glPopAttrib();
}

// One quad from the text texture: `count` glyphs from cell `cell` on.
void drawRun(const char* glyphs, int count, int cell)
{
    const float texel = 1.0f / float(TEXT_TEXTURE_SIDE);
    float t0 = float(textRow(glyphs, count) * TEXT_ROW_H) * texel;
    float t1 = t0 + float(FONT_ROWS) * texel, s1 = float(count * FONT_PITCH) * texel;
    float x0 = float(cell * FONT_PITCH), x1 = x0 + float(count * FONT_PITCH);
    float y1 = float(FONT_ROWS);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, t0);
    glVertex2f(x0, 0.0f);
    glTexCoord2f(0.0f, t1);
    glVertex2f(x0, y1);
    glTexCoord2f(s1, t1);
    glVertex2f(x1, y1);
    glTexCoord2f(s1, t0);
    glVertex2f(x1, 0.0f);
    glEnd();
}

// The drawable codes of a text in runs, each one quad. The renderer's cost
// goes by the pixels covered, so a run ends where two blanks or more come
// in a row (half the logo is blanks), and at TEXT_ROW_CHARS glyphs. Runs
// repeat (the logo's bars), so they share rows.
void drawGlyphs(const char* text)
{
    char run[TEXT_ROW_CHARS];
    int count = 0, start = 0, cell = 0, blanks = 0;
    for (const unsigned char* at = reinterpret_cast<const unsigned char*>(text); *at; at++) {
        if (*at < FONT_FIRST_CODE || *at > 126)
            continue; // no glyph, no cell
        int here = cell++;
        if (*at == ' ') {
            blanks++;
            continue;
        }
        bool breaks = blanks >= 2 || count + blanks + 1 > TEXT_ROW_CHARS;
        if (count > 0 && breaks) {
            drawRun(run, count, start);
            count = 0;
        }
        if (count == 0)
            start = here;
        else
            while (blanks-- > 0)
                run[count++] = ' ';
        run[count++] = char(*at);
        blanks = 0;
    }
    if (count > 0)
        drawRun(run, count, start);
}

void print_string(const char* text)
{
    GLboolean valid = GL_FALSE;
    glGetBooleanv(GL_CURRENT_RASTER_POSITION_VALID, &valid);
    // An invalid raster position draws nothing and stays where it is.
    if (menu.font_offset == 0 || !valid)
        return;
    GLfloat raster[4], colour[4];
    glGetFloatv(GL_CURRENT_RASTER_POSITION, raster);
    glGetFloatv(GL_CURRENT_COLOR, colour); // not in an attribute group without the raster position
    glyphSaved_t saved;
    glyphSpaceBegin(raster, &saved);
    if (menu.text_texture != 0) // without it the quads would be solid
        drawGlyphs(text);
    glyphSpaceEnd(saved);
    glColor4fv(colour);
    glPushAttrib(GL_LIST_BIT);
    glListBase(menu.font_offset);
    glCallLists(GLsizei(strlen(text)), GL_UNSIGNED_BYTE, text);
    glPopAttrib();
}

// The text's colour is whatever is current here: glRasterPos latches it.
void drawText(const gui_component_t* c, int bx, int by, int nw)
{
    if (!c->text)
        return;
    int rasterX = 0, rasterY = 0;
    gui_component_text_position(c, bx, by, nw, &rasterX, &rasterY);
    glRasterPos2i(rasterX, rasterY);
    print_string(c->text);
}

// --- shapes ------------------------------------------------------------

// Corners in the order every shape uses: lower left, upper left, upper
// right, lower right.
void quad(float x, float y, float w, float h)
{
    glBegin(GL_QUADS);
    glVertex2f(x, y);
    glVertex2f(x, y + h);
    glVertex2f(x + w, y + h);
    glVertex2f(x + w, y);
    glEnd();
}

void box(const gui_component_t* c)
{
    quad(float(c->x), float(c->y), float(c->w), float(c->h));
}

// Leaves the polygon mode at GL_LINE; each caller says when it goes back.
void outline(const gui_component_t* c)
{
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    box(c);
}

// The black square with a white frame that radio buttons and check boxes
// share; a pressed one is framed twice as thick.
void framedSquare(const gui_component_t* c)
{
    gui_set_background_color();
    box(c);
    if (c->pressed)
        glLineWidth(2.0f);
    gui_set_foreground_color();
    outline(c);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

void line(float x0, float y0, float x1, float y1)
{
    glBegin(GL_LINES);
    glVertex2f(x0, y0);
    glVertex2f(x1, y1);
    glEnd();
}

// Every shape saves the modelview matrix and the colour-buffer state. The
// current colour is not part of that group, so the last colour a shape sets
// stays current for the labels drawn after it.
void shapeBegin(void)
{
    glPushMatrix();
    glPushAttrib(GL_COLOR_BUFFER_BIT);
}

void shapeEnd(void)
{
    glPopAttrib();
    glPopMatrix();
}

} // namespace

void menuDrawMeter(const gui_component_t* c, float fraction)
{
    fraction = fraction > 0 ? (fraction < 1 ? fraction : 1) : 0; // also for NaN
    shapeBegin();
    gui_set_resize_color();
    outline(c);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    gui_set_foreground_color();
    quad(float(c->x), float(c->y), float(c->w) * fraction, float(c->h));
    shapeEnd();
}

namespace {

// --- the per-frame pass ------------------------------------------------

void guiPassBegin(void)
{
    glEnable(GL_LINE_SMOOTH);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glLineWidth(1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    // Explicitly the modelview stack, so the pops below always match.
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glPushMatrix();
    // The viewport stays the window's, so this space is stretched over it.
    glOrtho(0.0, menu_window_width, 0.0, menu_window_height, 0.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

// Pops what guiPassBegin pushed and hands the frame back in the default 3D
// state the rest of the engine expects.
void guiPassEnd(void)
{
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 15.0 / 13.0, double(0.01f), 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void classifyEvent(const SDL_Event& event)
{
    switch (event.type) {
    case SDL_KEYDOWN:
        menu.event_type = EVENT_KEY_DOWN;
        if (event.key.keysym.sym == SDLK_RETURN)
            menu.key_press = KEY_RETURN;
        else if (event.key.keysym.sym == SDLK_ESCAPE)
            menu.key_press = KEY_ESCAPE;
        break;
    case SDL_MOUSEBUTTONDOWN:
        menu.event_type = EVENT_BUTTON_DOWN;
        if (event.button.button == SDL_BUTTON_LEFT)
            menu.button_press = LEFT_BUTTON_PRESS;
        menu.mouseSelectedcomponent = menu.mouseActioncomponent;
        break;
    case SDL_MOUSEBUTTONUP:
        menu.event_type = EVENT_BUTTON_UP;
        if (event.button.button == SDL_BUTTON_LEFT)
            menu.button_press = LEFT_BUTTON_PRESS;
        break;
    case SDL_QUIT:
        menu.event_type = EVENT_QUIT;
        break;
    default:
        break;
    }
}

// A left press selects what it lands on once; the latch keeps a held button
// from selecting again until it is released.
void pressComponent(gui_component_t* c)
{
    gui_mouse_t* mouse = &menu.gui_mouse_event;
    c->mousePressedX = mouse->x;
    c->mousePressedY = mouse->y;
    if (menu.button_press != LEFT_BUTTON_PRESS || mouse->left)
        return;
    if (c->type == GUI_CHECK_BOX || c->type == GUI_COMBO_BOX) {
        c->selected = !c->selected;
    } else if (c->type == GUI_RADIO_BUTTON) {
        for (int i = 0; i < ONE_FRAME_COMPONENTS; i++) {
            gui_component_t* other = &menu.menu_component[i];
            if (other->type == GUI_RADIO_BUTTON && other->radioGroup == c->radioGroup)
                other->selected = 0;
        }
        c->selected = 1;
    } else {
        c->selected = 1;
    }
    mouse->left = 1;
}

void releaseLeftButton(void)
{
    if (menu.button_press != LEFT_BUTTON_PRESS || !menu.gui_mouse_event.left)
        return;
    int index = menu.mouseSelectedcomponent;
    if (index >= 0 && index < MENU_COMPONENTS) {
        gui_component_t* c = &menu.menu_component[index];
        // Radio buttons and check boxes keep their state past the release.
        if (c->type != GUI_RADIO_BUTTON && c->type != GUI_CHECK_BOX)
            c->selected = 0;
    }
    menu.gui_mouse_event.left = 0;
}

void actOnEvent(void)
{
    switch (menu.event_type) {
    case EVENT_QUIT:
        if (menu.stopSound)
            menu.stopSound();
        menu.menu_done = 1;
        break;
    case EVENT_KEY_DOWN:
    case EVENT_BUTTON_DOWN:
        if (menu.mouseActioncomponent == -1) {
            menu.mouseSelectedcomponent = -1;
            break;
        }
        pressComponent(&menu.menu_component[menu.mouseActioncomponent]);
        break;
    case EVENT_BUTTON_UP:
        releaseLeftButton();
        break;
    default:
        break;
    }
}

void findHoveredComponent(void)
{
    menu.mouseActioncomponent = -1;
    for (int i = 0; i < HIT_COMPONENTS; i++) {
        if (gui_component_mouse_entered(&menu.menu_component[i], menu.gui_mouse_event.x,
                                        menu.gui_mouse_event.y)) {
            menu.mouseActioncomponent = i;
            return;
        }
    }
}

void setUpComponent(int index, int type, int x, int y, int w, int h, const char* text, int align)
{
    gui_component_t* c = &menu.menu_component[index];
    gui_component_set_dimension4i(c, x, y, w, h);
    gui_component_set_type(c, type);
    gui_component_set_text(c, text);
    c->textalign = align;
}

} // namespace

// --- components ----------------------------------------------------------

gui_component_t* get_gui_component(int index)
{
    if (index < 0 || index >= MENU_COMPONENTS) {
        debugMisuse(__func__, "index %d, not 0 to %d", index, MENU_COMPONENTS - 1);
        return nullptr;
    }
    return &menu.menu_component[index];
}

void gui_component_init(gui_component_t* c)
{
    if (debugMisuseIfNull(c, __func__, "the component"))
        return;
    c->resize = c->pressed = c->selected = 0;
    c->visible = c->enabled = 1;
    c->x = c->y = c->w = c->h = 0;
    c->type = c->radioGroup = c->textalign = 0;
    c->red = c->green = c->blue = 0.0f;
}

void gui_component_set_color(gui_component_t* c, float r, float g, float b)
{
    if (debugMisuseIfNull(c, __func__, "the component"))
        return;
    c->red = r;
    c->green = g;
    c->blue = b;
}

void gui_component_set_type(gui_component_t* c, int val)
{
    if (debugMisuseIfNull(c, __func__, "the component"))
        return;
    c->type = val;
    if (val == GUI_DRAG_BUTTON)
        gui_component_set_color(c, 0.8f, 0.0f, 0.0f);
}

void gui_component_set_text(gui_component_t* c, const char* text)
{
    if (debugMisuseIfNull(c, __func__, "the component"))
        return;
    c->text = text;
}

int gui_component_mouse_entered(const gui_component_t* c, int mouse_x, int mouse_y)
{
    if (debugMisuseIfNull(c, __func__, "the component"))
        return 0;
    // In 64 bits, so a component near INT_MAX cannot wrap its far edge.
    int64_t right = int64_t(c->x) + c->w, top = int64_t(c->y) + c->h;
    return c->x <= mouse_x && mouse_x <= right && c->y <= mouse_y && mouse_y <= top;
}

void gui_component_set_dimension4i(gui_component_t* c, int tx, int ty, int tw, int th)
{
    if (debugMisuseIfNull(c, __func__, "the component"))
        return;
    c->x = tx;
    c->y = ty;
    c->w = tw;
    c->h = th;
}

void gui_component_set_dimension2i(gui_component_t* c, int tx, int ty)
{
    if (debugMisuseIfNull(c, __func__, "the component"))
        return;
    static const struct {
        int w, h;
    } defaults[] = {{0, 0}, {50, 20}, {100, 15}, {15, 15}, {300, 200}, {100, 15}, {15, 15}, {50, 20}};
    c->x = tx;
    c->y = ty;
    if (c->type >= GUI_BUTTON && c->type <= GUI_DRAG_BUTTON) {
        c->w = defaults[c->type].w;
        c->h = defaults[c->type].h;
    }
}

void gui_component_text_position(const gui_component_t* c, int bx, int by, int nw, int* rasterX,
                                 int* rasterY)
{
    if (debugMisuseIfNull(c, __func__, "the component") || debugMisuseIfNull(rasterX, __func__, "rasterX") ||
        debugMisuseIfNull(rasterY, __func__, "rasterY"))
        return;
    int64_t chars = nw / FONT_PITCH;
    size_t length = c->text ? strlen(c->text) : 0;
    // Compared as unsigned: a negative width counts as room for everything.
    int64_t textlen = size_t(uint32_t(chars)) < length ? chars : int64_t(length);
    int64_t x = bx;
    if (c->textalign == 0)
        x += 3;
    else if (c->textalign == 1)
        x += (chars - textlen) * (FONT_PITCH / 2);
    else
        x += (chars - textlen) * FONT_PITCH;
    *rasterX = int(x);
    *rasterY = by + c->h / 2 - TEXT_DROP;
}

// --- drawing -------------------------------------------------------------

void gui_set_background_color(void)
{
    glColor3f(0.0f, 0.0f, 0.0f);
}

void gui_set_foreground_color(void)
{
    glColor3f(1.0f, 1.0f, 1.0f);
}

void gui_set_resize_color(void)
{
    glColor3f(0.4f, 0.4f, 0.4f);
}

void gui_component_draw_label(const gui_component_t* c)
{
    if (debugMisuseIfNull(c, __func__, "the component"))
        return;
    drawText(c, c->x, c->y, c->w);
}

void gui_component_draw_label3i(const gui_component_t* c, int addx, int addy, int nw)
{
    if (debugMisuseIfNull(c, __func__, "the component"))
        return;
    drawText(c, c->x + addx, c->y + addy, nw);
}

void gui_component_draw_label5i(const gui_component_t* c, int tx, int ty, int addx, int addy,
                                int nw)
{
    if (debugMisuseIfNull(c, __func__, "the component"))
        return;
    drawText(c, tx + addx, ty + addy, nw);
}

void gui_component_draw_radio_button(const gui_component_t* c)
{
    if (debugMisuseIfNull(c, __func__, "the component"))
        return;
    shapeBegin();
    framedSquare(c);
    if (c->selected) {
        float insetX = 0.2f * float(c->w), insetY = 0.2f * float(c->h);
        quad(float(c->x) + insetX, float(c->y) + insetY, float(c->w) - 2.0f * insetX,
             float(c->h) - 2.0f * insetY);
    }
    gui_component_draw_label3i(c, c->w, 0, 100);
    glLineWidth(1.0f);
    shapeEnd();
}

void gui_component_draw_check_box(const gui_component_t* c)
{
    if (debugMisuseIfNull(c, __func__, "the component"))
        return;
    shapeBegin();
    framedSquare(c);
    if (c->selected) {
        float x = float(c->x), y = float(c->y), w = float(c->w), h = float(c->h);
        float d = 0.2f * w;
        glLineWidth(d);
        line(x + d, y + 0.2f * h, x + w - d, y + h - 0.2f * h);
        line(x + w - d, y + d, x + d, y + h - d);
    }
    gui_component_draw_label3i(c, c->w, 0, 100);
    glLineWidth(1.0f);
    shapeEnd();
}

void gui_component_draw_button(const gui_component_t* c)
{
    if (debugMisuseIfNull(c, __func__, "the component"))
        return;
    shapeBegin();
    gui_set_background_color();
    box(c);
    if (c->pressed)
        glLineWidth(2.0f);
    gui_set_foreground_color();
    gui_component_draw_label3i(c, 0, 0, c->w);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glLineWidth(1.0f);
    shapeEnd();
}

void gui_component_draw_text_area(const gui_component_t* c)
{
    if (debugMisuseIfNull(c, __func__, "the component"))
        return;
    shapeBegin();
    gui_set_background_color();
    box(c);
    gui_set_foreground_color();
    outline(c);
    gui_component_draw_label(c);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    shapeEnd();
}

void gui_component_draw_combo_box(const gui_component_t* c)
{
    if (debugMisuseIfNull(c, __func__, "the component"))
        return;
    shapeBegin();
    gui_set_background_color();
    box(c);
    gui_set_foreground_color();
    outline(c);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    float x = float(c->x), y = float(c->y), w = float(c->w), h = float(c->h);
    float dropButtonX = 0.8f * w;
    float dropButtonW = w - dropButtonX;
    line(x + dropButtonX, y, x + dropButtonX, y + h);
    // The drop arrow points down; held open it is drawn hollow.
    if (c->selected)
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glBegin(GL_TRIANGLES);
    glVertex2f(x + dropButtonX + 0.2f * dropButtonW, y + 0.8f * h);
    glVertex2f(x + dropButtonX + 0.8f * dropButtonW, y + 0.8f * h);
    glVertex2f(x + dropButtonX + 0.5f * dropButtonW, y + h - 0.8f * h);
    glEnd();
    gui_component_draw_label3i(c, 0, 0, int(w - dropButtonW));
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    shapeEnd();
}

void gui_component_draw_drag_button(const gui_component_t* c)
{
    if (debugMisuseIfNull(c, __func__, "the component"))
        return;
    const gui_mouse_t* mouse = &menu.gui_mouse_event;
    shapeBegin();
    glColor3f(c->red, c->green, c->blue);
    box(c);
    gui_set_foreground_color();
    outline(c); // the polygon mode stays at line: the feedback below is hollow too
    gui_component_draw_label3i(c, 0, 0, c->w);
    if (c->resize) {
        gui_set_resize_color();
        quad(float(c->x), float(c->y), float(mouse->x - c->x), float(c->h));
    } else if (c->selected) {
        // The ghost keeps the offset between the press and the corner, so it
        // moves with the pointer as if held where it was grabbed.
        int ghostX = mouse->x - (c->mousePressedX - c->x);
        int ghostY = mouse->y - (c->mousePressedY - c->y);
        gui_set_resize_color();
        quad(float(ghostX), float(ghostY), float(c->w), float(c->h));
        gui_component_draw_label5i(c, ghostX, ghostY, 0, 0, c->w);
    }
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glLineWidth(1.0f);
    shapeEnd();
}

void gui_component_draw(const gui_component_t* c)
{
    if (debugMisuseIfNull(c, __func__, "the component"))
        return;
    typedef void (*draw_t)(const gui_component_t*);
    static const draw_t draws[] = {
        nullptr,
        gui_component_draw_button,
        gui_component_draw_label,
        gui_component_draw_check_box,
        gui_component_draw_text_area,
        gui_component_draw_combo_box,
        gui_component_draw_radio_button,
        gui_component_draw_drag_button,
    };
    if (c->type >= GUI_BUTTON && c->type <= GUI_DRAG_BUTTON)
        draws[c->type](c);
}

// --- pointer ---------------------------------------------------------------

void init_gui_mouse(gui_mouse_t* mouse)
{
    if (debugMisuseIfNull(mouse, __func__, "the pointer state"))
        return;
    mouse->middle = mouse->right = mouse->left = 0;
    mouse->x = mouse->y = 0;
}

gui_mouse_t* get_gui_mouse(void)
{
    return &menu.gui_mouse_event;
}

void menuPointerToGui(int windowX, int windowY, int* guiX, int* guiY)
{
    if (debugMisuseIfNull(guiX, __func__, "guiX") || debugMisuseIfNull(guiY, __func__, "guiY"))
        return;
    // The GUI space is stretched over the whole window, so the pointer is
    // scaled the same way; otherwise clicks miss the buttons in any window
    // but 800 x 500. The stand-alone runner opens its window without the
    // window module, which then reports no size: that window is 800 x 500.
    int64_t width = getWindowWidth(), height = getWindowHeight();
    if (width <= 0 || height <= 0) {
        width = menu_window_width;
        height = menu_window_height;
    }
    *guiX = int(windowX * int64_t(menu_window_width) / width);
    // Window rows count from the top; GUI y grows upwards.
    *guiY = menu_window_height - int(windowY * int64_t(menu_window_height) / height);
}

// --- the player screen -----------------------------------------------------

void menuInit(void)
{
    if (menu.font_offset != 0)
        glDeleteLists(menu.font_offset, FONT_LISTS);
    if (menu.text_texture != 0)
        glDeleteTextures(1, &menu.text_texture);
    menu.text_texture = 0;
    make_raster_font();
    menuPlayerInit();
    init_gui_mouse(&menu.gui_mouse_event);
    for (int i = 0; i < MENU_COMPONENTS; i++)
        gui_component_init(&menu.menu_component[i]);
    setUpComponent(0, GUI_BUTTON, 10, 400, 50, 50, "PREV", 1);
    setUpComponent(1, GUI_BUTTON, 70, 400, 50, 50, "PLAY", 1);
    setUpComponent(3, GUI_BUTTON, 130, 400, 50, 50, "STOP", 1);
    setUpComponent(4, GUI_BUTTON, 190, 400, 50, 50, "NEXT", 1);
    setUpComponent(5, GUI_LABEL, 0, 340, menu_window_width, 50, "", 1);
    for (int i = 0; i < LOGO_LINES; i++)
        setUpComponent(6 + i, GUI_LABEL, 0, 300 - 20 * i, 700, 20, QORLOGO[i], 0);
}

int menuDraw(void)
{
    for (int i = 0; i < ONE_FRAME_COMPONENTS; i++)
        menu.menu_component[i].selected = 0;
    menu.event_type = EVENT_NONE;
    menu.button_press = 0;
    menu.key_press = 0;
    menuPlayerFrameBegin();
    SDL_Delay(1);

    guiPassBegin();
    for (int i = 0; i < MENU_COMPONENTS; i++)
        gui_component_draw(&menu.menu_component[i]);
    menuPlayerDraw();
    guiPassEnd();

    // One event a frame: a burst of events is worked off over several frames.
    SDL_Event event;
    int taken = SDL_PollEvent(&event);
    int pointerX = 0, pointerY = 0;
    SDL_GetMouseState(&pointerX, &pointerY);
    // A press or release counts where it happened: taken a frame or more
    // after the click, the pointer may already be over another button.
    if (taken && (event.type == SDL_MOUSEBUTTONDOWN || event.type == SDL_MOUSEBUTTONUP)) {
        pointerX = event.button.x;
        pointerY = event.button.y;
    }
    menuPointerToGui(pointerX, pointerY, &menu.gui_mouse_event.x, &menu.gui_mouse_event.y);
    findHoveredComponent();
    if (taken) {
        classifyEvent(event);
        menuPlayerTakeEvent(event);
    }
    actOnEvent();
    return menu.menu_done;
}

void draw_menu(void)
{
    setenv("SDL_VIDEO_CENTERED", "1", 1);
    SDL_Init(SDL_INIT_AUDIO | SDL_INIT_VIDEO);
    SDL_WM_SetCaption("QOR 2014", nullptr);
    if (!SDL_SetVideoMode(menu_window_width, menu_window_height, 0, SDL_OPENGL)) {
        fprintf(stderr, "tessellune: cannot open the player screen's window: %s\n", SDL_GetError());
        return;
    }
    menuInit();
    // menuDraw leaves the frame in the back buffer; show it before the next.
    while (!menuDraw())
        SDL_GL_SwapBuffers();
}

void menuDeinit(void)
{
    if (menu.font_offset != 0)
        glDeleteLists(menu.font_offset, FONT_LISTS);
    if (menu.text_texture != 0)
        glDeleteTextures(1, &menu.text_texture);
    menu = menuState_t();
    menuPlayerDeinit();
}

void menuSetSoundStop(void (*stop)(void))
{
    menu.stopSound = stop ? stop : soundStop;
}
