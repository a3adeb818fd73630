#include "system/ui/window/menuPlayer.h"

#include "system/timer/timer.h"
#include "system/ui/window/textFold.h"

#include <SDL_syswm.h>
#include <X11/XF86keysym.h>
#include <X11/Xlib.h>
#include <cstdio>
#include <cstring>

namespace {

const float SEEK_SHORT = 5.0f, SEEK_LONG = 60.0f; // seconds
const float VOLUME_STEP = 5.0f;                    // percent
// A seek or volume key held this long starts acting again, every
// REPEAT_EVERY seconds while it stays down.
const float REPEAT_AFTER = 0.5f, REPEAT_EVERY = 0.1f;
// Queued key releases looked at before a held key acts again (a frame's
// events are far fewer).
const int QUEUE_LOOK = 64;
// The volume is shown large this long after it changed: long enough to read
// while a key is held, short enough not to stay in the way.
const float VOLUME_SHOWN_SECONDS = 1.5f;
// Room for any title the label can show (80 cells) several times over.
const int LABEL_SIZE = 256;
const int LINE_SIZE = 64;
// The album shares the time line's row with the time and the volume; the
// notice shares its row with the status.
const int ALBUM_CELLS = 30, NOTICE_CELLS = 24;

// The progress bar lies in the rows between the time line's character
// cells (y 323 and up) and the logo's first line's (up to y 315), so it
// covers neither; a click counts a few units either side of it.
const int BAR_X = 200, BAR_Y = 317, BAR_W = 400, BAR_H = 4, BAR_REACH = 5;

struct key_t {
    SDLKey sym;
    playerAction_t action;
    float value;
    bool repeats; // held down, it acts again with every repeat
};

const key_t KEYS[] = {
    {SDLK_SPACE, PLAYER_PLAY_PAUSE, 0, false},
    {SDLK_s, PLAYER_STOP, 0, false},
    {SDLK_PAGEDOWN, PLAYER_NEXT, 0, false},
    {SDLK_PAGEUP, PLAYER_PREVIOUS, 0, false},
    {SDLK_GREATER, PLAYER_NEXT, 0, false},
    {SDLK_LESS, PLAYER_PREVIOUS, 0, false},
    {SDLK_LEFT, PLAYER_SEEK_BY, -SEEK_SHORT, true},
    {SDLK_RIGHT, PLAYER_SEEK_BY, SEEK_SHORT, true},
    {SDLK_DOWN, PLAYER_SEEK_BY, -SEEK_LONG, true},
    {SDLK_UP, PLAYER_SEEK_BY, SEEK_LONG, true},
    {SDLK_9, PLAYER_VOLUME_BY, -VOLUME_STEP, true},
    {SDLK_0, PLAYER_VOLUME_BY, VOLUME_STEP, true},
    {SDLK_m, PLAYER_MUTE, 0, false},
    {SDLK_z, PLAYER_SHUFFLE, 0, false},
    {SDLK_r, PLAYER_REPEAT, 0, false},
};

// The media keys have no SDL 1.2 symbol: they arrive as a key of symbol 0,
// after the window system's own key event, which names them.
struct mediaKey_t {
    unsigned long keysym;
    playerAction_t action;
};

const mediaKey_t MEDIA_KEYS[] = {
    {XF86XK_AudioPlay, PLAYER_PLAY_PAUSE}, {XF86XK_AudioPause, PLAYER_PLAY_PAUSE},
    {XF86XK_AudioStop, PLAYER_STOP},       {XF86XK_AudioNext, PLAYER_NEXT},
    {XF86XK_AudioPrev, PLAYER_PREVIOUS},
};

struct menuPlayer_t {
    playerCommand_t command;
    // Keys down and not yet released: a key-down for one of them is the
    // keyboard's repeat.
    bool held[SDLK_LAST];
    // The held key that repeats (seeking, volume), SDLK_UNKNOWN for none,
    // its command and when it last acted (frame timer).
    SDLKey repeating;
    playerCommand_t repeatCommand;
    float repeatNext;
    bool barHeld; // a left press on the bar, not yet released: motion seeks
    menuPlayerState_t state;
    bool stateSet;
    bool linesAdded; // menuAddTimeLine has set up the slots since menuInit
    float volumeChangedAt = -1.0f; // frame time of the last change; -1: never
    char timeLine[LINE_SIZE], status[LINE_SIZE], modes[LINE_SIZE], volume[LINE_SIZE];
    char volumeShown[LINE_SIZE], album[LABEL_SIZE], notice[LINE_SIZE];
    char label[LABEL_SIZE];
};

menuPlayer_t player;

playerCommand_t commandOf(playerAction_t action, float value)
{
    playerCommand_t command = {action, value, nullptr};
    return command;
}

// Lets through only the window system's key presses that name a media key,
// so that its other events do not crowd the one-event-a-frame queue.
int keepMediaKeys(const SDL_Event* event)
{
    if (event->type != SDL_SYSWMEVENT)
        return 1;
    if (!event->syswm.msg || event->syswm.msg->subsystem != SDL_SYSWM_X11)
        return 0;
    XEvent* x = &event->syswm.msg->event.xevent;
    if (x->type != KeyPress)
        return 0;
    unsigned long keysym = XLookupKeysym(&x->xkey, 0);
    for (const mediaKey_t& key : MEDIA_KEYS)
        if (key.keysym == keysym)
            return 1;
    return 0;
}

void takeMediaKey(const SDL_SysWMmsg* msg)
{
    if (!msg || msg->subsystem != SDL_SYSWM_X11 || msg->event.xevent.type != KeyPress)
        return;
    XEvent x = msg->event.xevent;
    unsigned long keysym = XLookupKeysym(&x.xkey, 0);
    for (const mediaKey_t& key : MEDIA_KEYS)
        if (key.keysym == keysym)
            player.command = commandOf(key.action, 0);
}

// '<' and '>' come as Shift with comma and period on most layouts; the
// typed character says which, where the layout has its own key for them.
SDLKey keyOf(const SDL_keysym& keysym)
{
    if (keysym.unicode == '<' || (keysym.sym == SDLK_COMMA && (keysym.mod & KMOD_SHIFT)))
        return SDLK_LESS;
    if (keysym.unicode == '>' || (keysym.sym == SDLK_PERIOD && (keysym.mod & KMOD_SHIFT)))
        return SDLK_GREATER;
    return keysym.sym;
}

void takeKeyDown(const SDL_keysym& keysym)
{
    bool known = keysym.sym > 0 && keysym.sym < SDLK_LAST;
    if (known && player.held[keysym.sym])
        return; // already down: the repeat is ours (repeatHeldKey)
    if (known)
        player.held[keysym.sym] = true;
    SDLKey sym = keyOf(keysym);
    for (const key_t& key : KEYS) {
        if (key.sym != sym)
            continue;
        player.command = commandOf(key.action, key.value);
        if (key.repeats && known) {
            player.repeating = keysym.sym;
            player.repeatCommand = player.command;
            player.repeatNext = timerGetTime() + REPEAT_AFTER;
        }
    }
}

bool releaseQueued(SDLKey sym)
{
    SDL_Event queued[QUEUE_LOOK];
    int count = SDL_PeepEvents(queued, QUEUE_LOOK, SDL_PEEKEVENT, SDL_KEYUPMASK);
    for (int i = 0; i < count; i++)
        if (queued[i].key.keysym.sym == sym)
            return true;
    return false;
}

// Seeking and the volume go on while their key stays down. The repeat is
// our own, on the frame timer: SDL's, run where events are pumped, was seen
// on a busy machine to queue a repeat behind the key's release, which then
// looked like a second press (of any key, PREV included). A release already
// waiting in the queue, one event a frame, ends the repeat too.
void repeatHeldKey(void)
{
    SDLKey sym = player.repeating;
    if (sym == SDLK_UNKNOWN || player.command.action != PLAYER_NONE)
        return;
    if (!player.held[sym] || releaseQueued(sym)) {
        player.repeating = SDLK_UNKNOWN;
        return;
    }
    float now = timerGetTime();
    if (now < player.repeatNext)
        return;
    player.command = player.repeatCommand;
    player.repeatNext = now + REPEAT_EVERY;
}

// Seconds into the song for a pointer at GUI x.
float barSeconds(int guiX)
{
    float fraction = float(guiX - BAR_X) / float(BAR_W);
    fraction = fraction < 0 ? 0 : fraction > 1 ? 1 : fraction;
    return fraction * float(player.state.length);
}

bool barShown(void)
{
    return player.linesAdded && player.stateSet && player.state.status != MENU_STOPPED &&
           !player.state.live && player.state.length > 0;
}

bool onBar(int guiX, int guiY)
{
    return guiX >= BAR_X && guiX <= BAR_X + BAR_W && guiY >= BAR_Y - BAR_REACH &&
           guiY <= BAR_Y + BAR_H + BAR_REACH;
}

void takePointer(const SDL_Event& event)
{
    int guiX = 0, guiY = 0;
    if (event.type == SDL_MOUSEMOTION)
        menuPointerToGui(event.motion.x, event.motion.y, &guiX, &guiY);
    else
        menuPointerToGui(event.button.x, event.button.y, &guiX, &guiY);
    // A release outside the window sends no release event; the motion
    // still says which buttons are down.
    if (event.type == SDL_MOUSEMOTION && !(event.motion.state & SDL_BUTTON_LMASK))
        player.barHeld = false;
    bool left = event.type == SDL_MOUSEMOTION || event.button.button == SDL_BUTTON_LEFT;
    if (!left)
        return;
    if (event.type == SDL_MOUSEBUTTONUP) {
        player.barHeld = false;
        return;
    }
    if (event.type == SDL_MOUSEBUTTONDOWN)
        player.barHeld = barShown() && onBar(guiX, guiY);
    // A drag goes on seeking wherever the pointer goes, as far as the bar's ends.
    if (player.barHeld && barShown())
        player.command = commandOf(PLAYER_SEEK_TO, barSeconds(guiX));
}

void formatClock(char* out, size_t size, long seconds)
{
    snprintf(out, size, "%ld:%02ld", seconds / 60, seconds % 60);
}

void formatTimeLine(const menuPlayerState_t& s)
{
    if (s.status == MENU_STOPPED) {
        snprintf(player.timeLine, sizeof player.timeLine, "stopped");
        return;
    }
    // Whole seconds, cut like the length is; never past the length.
    long at = s.position > 0 && s.position < 1e9f ? long(s.position) : 0;
    if (!s.live && s.length >= 0 && at > s.length)
        at = s.length;
    char position[24], length[24];
    formatClock(position, sizeof position, at);
    formatClock(length, sizeof length, s.length);
    if (s.live)
        snprintf(player.timeLine, sizeof player.timeLine, "%s live", position);
    else if (s.length < 0)
        snprintf(player.timeLine, sizeof player.timeLine, "%s", position);
    else
        snprintf(player.timeLine, sizeof player.timeLine, "%s / %s", position, length);
}

// A text of the caller's as the font draws it, cut to its room with "...".
void foldToCells(const char* text, char* out, size_t size, int cells)
{
    if (textFoldToAscii(text, out, size) > size_t(cells))
        strcpy(out + cells - 3, "...");
}

void formatLines(const menuPlayerState_t& s)
{
    static const char* const STATUS[] = {"[] stopped", "> playing", "|| paused"};
    static const char* const REPEAT[] = {"repeat off", "repeat one", "repeat list"};
    int status = s.status >= MENU_STOPPED && s.status <= MENU_PAUSED ? s.status : MENU_STOPPED;
    int repeat = s.repeat >= MENU_REPEAT_OFF && s.repeat <= MENU_REPEAT_LIST ? s.repeat : MENU_REPEAT_LIST;
    snprintf(player.status, sizeof player.status, "%s",
             s.listEnded && status == MENU_STOPPED ? "[] list ended" : STATUS[status]);
    snprintf(player.modes, sizeof player.modes, "shuffle %s   %s", s.shuffle ? "on" : "off",
             REPEAT[repeat]);
    int volume = s.volume < 0 ? 0 : s.volume > 100 ? 100 : s.volume;
    if (s.muted) {
        snprintf(player.volume, sizeof player.volume, "muted");
        snprintf(player.volumeShown, sizeof player.volumeShown, "VOLUME muted");
    } else {
        snprintf(player.volume, sizeof player.volume, "vol %d%%", volume);
        snprintf(player.volumeShown, sizeof player.volumeShown, "VOLUME %d%%", volume);
    }
    foldToCells(s.notice, player.notice, sizeof player.notice, NOTICE_CELLS);
    foldToCells(s.album, player.album, sizeof player.album, ALBUM_CELLS);
}

bool volumeShown(void)
{
    if (player.volumeChangedAt < 0)
        return false;
    float since = timerGetTime() - player.volumeChangedAt;
    return since >= 0 && since < VOLUME_SHOWN_SECONDS;
}

void setUpLine(int index, int x, int y, int w, const char* text, int align)
{
    gui_component_t* c = get_gui_component(index);
    gui_component_init(c);
    gui_component_set_dimension4i(c, x, y, w, 20);
    gui_component_set_type(c, GUI_LABEL);
    gui_component_set_text(c, text);
    c->textalign = align;
}

} // namespace

void menuPlayerInit(void)
{
    player.command = commandOf(PLAYER_NONE, 0);
    memset(player.held, 0, sizeof player.held);
    player.barHeld = false;
    player.linesAdded = false;
    player.repeating = SDLK_UNKNOWN;
    SDL_EnableKeyRepeat(0, 0); // held keys repeat through repeatHeldKey
    SDL_EnableUNICODE(1);
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
    SDL_SetEventFilter(keepMediaKeys);
}

void menuPlayerDeinit(void)
{
    if (SDL_WasInit(SDL_INIT_VIDEO)) {
        SDL_SetEventFilter(nullptr);
        SDL_EventState(SDL_SYSWMEVENT, SDL_IGNORE);
    }
    player = menuPlayer_t();
}

void menuPlayerFrameBegin(void)
{
    player.command = commandOf(PLAYER_NONE, 0);
}

void menuPlayerTakeEvent(const SDL_Event& event)
{
    switch (event.type) {
    case SDL_KEYDOWN:
        takeKeyDown(event.key.keysym);
        break;
    case SDL_KEYUP:
        if (event.key.keysym.sym > 0 && event.key.keysym.sym < SDLK_LAST)
            player.held[event.key.keysym.sym] = false;
        break;
    case SDL_SYSWMEVENT:
        takeMediaKey(event.syswm.msg);
        break;
    case SDL_ACTIVEEVENT:
        // Keys released in another window send no release here.
        if ((event.active.state & SDL_APPINPUTFOCUS) && !event.active.gain) {
            memset(player.held, 0, sizeof player.held);
            player.repeating = SDLK_UNKNOWN;
        }
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
    case SDL_MOUSEMOTION:
        takePointer(event);
        break;
    default:
        break;
    }
}

void menuPlayerDraw(void)
{
    if (barShown()) {
        float at = player.state.position / float(player.state.length);
        menuDrawMeter(get_gui_component(MENU_PROGRESS_BAR), at);
    }
    if (player.linesAdded && get_gui_component(MENU_VOLUME_SHOWN)->text[0])
        menuDrawMeter(get_gui_component(MENU_VOLUME_METER),
                      player.state.muted ? 0.0f : float(player.state.volume) / 100.0f);
}

playerCommand_t menuTakeCommand(void)
{
    repeatHeldKey();
    playerCommand_t command = player.command;
    player.command = commandOf(PLAYER_NONE, 0);
    return command;
}

void menuAddTimeLine(void)
{
    // Between the song label's text (y 358 and up) and the logo's first
    // line (up to y 315): this text sits on y 323..335.
    setUpLine(MENU_TIME_LINE, 0, 320, menu_window_width, player.timeLine, 1);
    // Right of the buttons, the status on their texts' line, below y 440,
    // which stays clear.
    setUpLine(MENU_STATUS_LINE, 260, 415, 230, player.status, 0);
    setUpLine(MENU_MODES_LINE, 260, 395, 300, player.modes, 0);
    setUpLine(MENU_NOTICE_LINE, 500, 415, 290, player.notice, 2);
    // Either side of the time line, which is centred and short.
    setUpLine(MENU_VOLUME_LINE, 500, 320, 290, player.volume, 2);
    setUpLine(MENU_ALBUM_LINE, 0, 320, 320, player.album, 0);
    // The top right corner, clear of everything, for the passing volume.
    setUpLine(MENU_VOLUME_SHOWN, 500, 470, 290, "", 2);
    gui_component_t* meter = get_gui_component(MENU_VOLUME_METER);
    gui_component_init(meter);
    gui_component_set_dimension4i(meter, 590, 458, 200, 8);
    gui_component_t* bar = get_gui_component(MENU_PROGRESS_BAR);
    gui_component_init(bar);
    gui_component_set_dimension4i(bar, BAR_X, BAR_Y, BAR_W, BAR_H);
    player.linesAdded = true;
}

void menuSetPlayTime(int playing, float position, int length)
{
    if (!playing) {
        player.timeLine[0] = 0;
        return;
    }
    menuPlayerState_t s = {};
    s.status = MENU_PLAYING;
    s.position = position;
    s.length = length;
    formatTimeLine(s);
}

void menuSetPlayerState(const menuPlayerState_t* state)
{
    menuPlayerState_t s = *state;
    s.album = s.album ? s.album : "";
    s.notice = s.notice ? s.notice : "";
    // The first state is where the player starts, not a change to show.
    if (player.stateSet && (s.volume != player.state.volume || s.muted != player.state.muted))
        player.volumeChangedAt = timerGetTime();
    player.state = s;
    player.stateSet = true;
    formatTimeLine(s);
    formatLines(s);
    if (player.linesAdded)
        get_gui_component(MENU_VOLUME_SHOWN)->text = volumeShown() ? player.volumeShown : "";
    // The state's strings are the caller's: only the folded copies are kept.
    player.state.album = player.album;
    player.state.notice = player.notice;
}

const char* menuSongLabel(const char* title, const char* filename)
{
    textFoldToAscii(title, player.label, sizeof player.label);
    if (strspn(player.label, " ") < strlen(player.label))
        return player.label;
    const char* slash = filename ? strrchr(filename, '/') : nullptr;
    textFoldToAscii(slash ? slash + 1 : filename, player.label, sizeof player.label);
    return player.label;
}
