#ifndef TESSELLUNE_MENU_H
#define TESSELLUNE_MENU_H

// The player screen: a small immediate-mode GUI (a fixed table of component
// records redrawn every frame, a display-list raster font) and the screen
// built from it. All drawing happens in an 800 x 500 GUI space, origin lower
// left, stretched over the whole window.

// GUI space, and the size of the stand-alone window of draw_menu.
const int menu_window_width = 800;
const int menu_window_height = 500;
const int MENU_COMPONENTS = 30;

// Component kinds, the values of gui_component_t::type.
enum {
    GUI_NONE = 0,
    GUI_BUTTON = 1,
    GUI_LABEL = 2,
    GUI_CHECK_BOX = 3,
    GUI_TEXT_AREA = 4,
    GUI_COMBO_BOX = 5,
    GUI_RADIO_BUTTON = 6,
    GUI_DRAG_BUTTON = 7,
};

struct gui_component_t {
    int resize;        // drag button: also draw the resize feedback
    int pressed;       // radio button, check box, button: line width 2
    int selected;      // set by the pointer handling; meaning depends on the kind
    int visible;       // 1 from init; nothing consults it
    int enabled;       // 1 from init; nothing consults it
    int x, y, w, h;    // lower-left corner and size, GUI units
    int type;          // GUI_NONE ... GUI_DRAG_BUTTON
    int radioGroup;    // radio buttons with equal groups exclude each other
    int textalign;     // 0 left, 1 centred, anything else right
    int mousePressedX; // pointer at the last press taken over this component
    int mousePressedY;
    float red, green, blue; // fill colour, drag button only
    const char* text;       // borrowed: the caller keeps it alive
};

struct gui_mouse_t {
    int middle, right;
    int left; // latch: a left press was taken and not yet released
    int x, y; // pointer, GUI units
};

// --- components ---
gui_component_t* get_gui_component(int index); // the player screen's entry 0..29
void gui_component_init(gui_component_t* c);   // the initial state; text is kept
void gui_component_set_color(gui_component_t* c, float r, float g, float b);
void gui_component_set_type(gui_component_t* c, int val); // a drag button turns red
void gui_component_set_text(gui_component_t* c, const char* text); // no copy
// 1 when the point lies inside or on any edge of the component.
int gui_component_mouse_entered(const gui_component_t* c, int mouse_x, int mouse_y);
void gui_component_set_dimension4i(gui_component_t* c, int tx, int ty, int tw, int th);
// Sets the corner, and the size to the kind's default (none: size kept).
void gui_component_set_dimension2i(gui_component_t* c, int tx, int ty);
// For tests (the label drawing uses it): where a label's text starts, laid
// out over nw units from the base corner (bx, by), which already includes
// any offset.
void gui_component_text_position(const gui_component_t* c, int bx, int by, int nw,
                                 int* rasterX, int* rasterY);

// --- drawing (current OpenGL context, GUI projection set up) ---
void gui_set_background_color(void); // black
void gui_set_foreground_color(void); // white
void gui_set_resize_color(void);     // grey
void gui_component_draw_label(const gui_component_t* c);
void gui_component_draw_label3i(const gui_component_t* c, int addx, int addy, int nw);
void gui_component_draw_label5i(const gui_component_t* c, int tx, int ty, int addx, int addy,
                                int nw);
void gui_component_draw_radio_button(const gui_component_t* c);
void gui_component_draw_check_box(const gui_component_t* c);
void gui_component_draw_button(const gui_component_t* c);
void gui_component_draw_text_area(const gui_component_t* c);
void gui_component_draw_combo_box(const gui_component_t* c);
void gui_component_draw_drag_button(const gui_component_t* c);
void gui_component_draw(const gui_component_t* c); // by kind; unknown kinds draw nothing

// --- pointer ---
void init_gui_mouse(gui_mouse_t* mouse);
gui_mouse_t* get_gui_mouse(void); // for tests: the player screen's pointer state
// For tests (menuDraw uses it): window pixels (origin top left) to GUI
// units, in proportion to the window.
void menuPointerToGui(int windowX, int windowY, int* guiX, int* guiY);

// --- the player screen ---
// Builds the raster font and the component table; needs an OpenGL context.
// Keeps the close request and the last press, which belong to the whole run.
void menuInit(void);
// One frame: draws, takes at most one window event, selects what was
// clicked. 0 = go on, 1 = the window was asked to close (for good).
int menuDraw(void);
// The player's time line, a centred label under the song label in slot
// MENU_TIME_LINE, with the rest of the player's state around it (free
// slots from MENU_STATUS_LINE on) and the progress bar under it; menuInit
// leaves them out, so the screen run on its own has none. Their texts are
// the screen's own.
const int MENU_TIME_LINE = 18;
const int MENU_STATUS_LINE = 19;   // playing / paused / stopped / list ended
const int MENU_MODES_LINE = 20;    // shuffle and repeat
const int MENU_VOLUME_LINE = 21;   // beside the time line
const int MENU_ALBUM_LINE = 22;    // the other side of the time line
const int MENU_NOTICE_LINE = 23;   // a short state text of the player's
const int MENU_VOLUME_SHOWN = 24;  // the volume, large, for a while after it changes
const int MENU_PROGRESS_BAR = 25;  // position / length; a click or drag seeks
const int MENU_VOLUME_METER = 26;  // drawn with MENU_VOLUME_SHOWN
void menuAddTimeLine(void);
// Position and length of the playing song in whole seconds, "1:23 / 3:04";
// the position alone while the length is not known (negative); empty when
// nothing plays. Only the time line: menuSetPlayerState sets it all.
void menuSetPlayTime(int playing, float position, int length);

enum playerAction_t {
    PLAYER_NONE = 0,
    PLAYER_PLAY_PAUSE,  // Space, XF86AudioPlay, XF86AudioPause
    PLAYER_STOP,        // s, XF86AudioStop
    PLAYER_NEXT,        // Page Down, '>', XF86AudioNext
    PLAYER_PREVIOUS,    // Page Up, '<', XF86AudioPrev
    PLAYER_SEEK_BY,     // value: seconds (Left/Right -5/+5, Down/Up -60/+60)
    PLAYER_SEEK_TO,     // value: seconds from the song's start (progress bar click or drag)
    PLAYER_VOLUME_BY,   // value: percent ('9' -5, '0' +5)
    PLAYER_MUTE,        // 'm'
    PLAYER_SHUFFLE,     // 'z'
    PLAYER_REPEAT,      // 'r': list -> one -> off -> list
    // The desktop's requests (system/ui/mpris), beside the keys' ones.
    PLAYER_PLAY,        // resumes or starts; nothing while playing
    PLAYER_PAUSE,       // pauses; nothing unless playing
    PLAYER_SET_VOLUME,  // value: percent
    PLAYER_SET_SHUFFLE, // value: 0 or 1
    PLAYER_SET_REPEAT,  // value: SOUND_REPEAT_*
    PLAYER_OPEN,        // text: a file, folder or list (path or file:// URI) to play
    PLAYER_QUIT,        // ends the program as the window's close does
};
// text: borrowed from whoever gave the command, null when it has none.
struct playerCommand_t { playerAction_t action; float value; const char* text; };
// The command this frame's key, or click/drag on the progress bar, stands for; PLAYER_NONE when none.
// Taking it clears it, so the main loop acts once. A key held down repeats
// only seeking and volume; Escape and Return stand for nothing.
playerCommand_t menuTakeCommand(void);

enum { MENU_STOPPED = 0, MENU_PLAYING = 1, MENU_PAUSED = 2 };
enum { MENU_REPEAT_OFF = 0, MENU_REPEAT_ONE = 1, MENU_REPEAT_LIST = 2 };
struct menuPlayerState_t {
    int status;        // MENU_STOPPED / PLAYING / PAUSED
    float position;    // seconds into the song
    int length;        // whole seconds; negative: not known
    int volume;        // 0..100 percent
    int muted;
    int shuffle;
    int repeat;        // MENU_REPEAT_*
    int listEnded;     // repeat off ran past the last song: the screen says the list ended
    int live;          // a stream: the time line shows time listened and "live" instead of a length
    const char* album; // "" when unknown: shown beside the time line
    const char* notice;// "" or a short state text such as "reconnecting..." shown on the screen
};
void menuSetPlayerState(const menuPlayerState_t* state); // once a frame, before menuDraw
// What the song label shows for a title: the title folded to what the font
// draws, or, when nothing of it can be drawn, the file's name folded the
// same way. The text is the screen's own, kept until the next call.
const char* menuSongLabel(const char* title, const char* filename);
// Runs the player screen on its own in an 800 x 500 window until closed.
void draw_menu(void);
// For the apps, tests and benchmarks: deletes the raster font and puts every
// piece of module state back to its program-start value; call while the
// OpenGL context still exists.
void menuDeinit(void);
// For tests: what a close request calls to silence the music, soundStop or
// another function (null restores soundStop).
void menuSetSoundStop(void (*stop)(void));

#endif
