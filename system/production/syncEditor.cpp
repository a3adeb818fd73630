#include "system/production/syncEditor.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const char CLIENT_GREETING[] = "hello, synctracker!";
const char EDITOR_GREETING[] = "hello, demo!";
const size_t EDITOR_GREETING_BYTES = sizeof EDITOR_GREETING - 1;

enum { IDLE, CONNECTING, GREETING, READY };

struct syncEditor_t {
    sockaddr_storage address = {};
    socklen_t addressLength = 0;
    std::string where; // host:port, for the lines
    syncTrack_t* tracks = nullptr;
    int trackCount = 0;
    std::string base;
    syncEditorHandler_t handler = {nullptr, nullptr};
    int socket = -1;
    int state = IDLE;
    double lastTry = -1e9;
    int toldUnreachable = 0; // the first failed attempt says so, the retries do not
    std::string in, out;     // bytes received and not yet read; bytes not yet sent
    int sentRow = -1;
};

syncEditor_t editor;

uint32_t readBig(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

void appendBig(std::string* to, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        *to += char(uint8_t(v >> shift));
}

void drop(const char* why)
{
    if (editor.state == READY || editor.state == GREETING)
        fprintf(stderr, "sync editor: lost %s (%s); the tracks keep their last values\n", editor.where.c_str(), why);
    else if (!editor.toldUnreachable)
        fprintf(stderr, "sync editor: cannot reach %s (%s); trying again every second\n", editor.where.c_str(), why);
    editor.toldUnreachable = 1;
    if (editor.socket >= 0)
        close(editor.socket);
    editor.socket = -1;
    editor.state = IDLE;
    editor.in.clear();
    editor.out.clear();
}

void startConnecting(double now)
{
    editor.lastTry = now;
    editor.socket = socket(editor.address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (editor.socket < 0)
        return drop(strerror(errno));
    if (connect(editor.socket, reinterpret_cast<sockaddr*>(&editor.address), editor.addressLength) == 0 ||
        errno == EINPROGRESS) {
        editor.state = CONNECTING;
        return;
    }
    drop(strerror(errno));
}

// The editor forgets the tracks between connections: they are asked for
// again, and it sends each key it holds.
void greeted(void)
{
    editor.state = READY;
    editor.sentRow = -1;
    fprintf(stderr, "sync editor: connected to %s\n", editor.where.c_str());
    for (int i = 0; i < editor.trackCount; i++) {
        editor.tracks[i].keys.clear();
        editor.out += char(SYNC_GET_TRACK);
        appendBig(&editor.out, uint32_t(editor.tracks[i].name.size()));
        editor.out += editor.tracks[i].name;
    }
}

bool flush(void)
{
    while (!editor.out.empty()) {
        ssize_t sent = send(editor.socket, editor.out.data(), editor.out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK;
        editor.out.erase(0, size_t(sent));
    }
    return true;
}

// Returns 0 when the connection ended.
bool receive(void)
{
    char chunk[4096];
    while (editor.in.size() < SYNC_EDITOR_BUFFER) {
        ssize_t got = recv(editor.socket, chunk, sizeof chunk, MSG_DONTWAIT);
        if (got > 0) {
            editor.in.append(chunk, size_t(got));
            continue;
        }
        return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
    return true;
}

void apply(const syncMessage_t& m)
{
    if ((m.command == SYNC_SET_KEY || m.command == SYNC_DELETE_KEY) && m.track >= uint32_t(editor.trackCount)) {
        fprintf(stderr, "sync editor: no track %u (there are %d); message ignored\n", m.track, editor.trackCount);
        return;
    }
    if (m.command == SYNC_SET_KEY && (m.key.type < 0 || m.key.type >= SYNC_KEY_TYPES)) {
        fprintf(stderr, "sync editor: unknown interpolation %d; key ignored\n", m.key.type);
        return;
    }
    if (m.command == SYNC_SET_KEY)
        syncTrackSetKey(&editor.tracks[m.track], m.key);
    else if (m.command == SYNC_DELETE_KEY)
        syncTrackDeleteKey(&editor.tracks[m.track], m.key.row);
    else if (m.command == SYNC_SET_ROW && editor.handler.setRow)
        editor.handler.setRow(m.row);
    else if (m.command == SYNC_PAUSE && editor.handler.pause)
        editor.handler.pause(m.flag);
    else if (m.command == SYNC_SAVE_TRACKS)
        for (int i = 0; i < editor.trackCount; i++)
            syncTrackSave(editor.base.c_str(), editor.tracks[i]);
}

void readMessages(void)
{
    size_t at = 0;
    for (;;) {
        syncMessage_t m;
        size_t used = syncMessageRead(reinterpret_cast<const uint8_t*>(editor.in.data()) + at, editor.in.size() - at, &m);
        if (used == 0)
            break;
        if (m.command < 0)
            fprintf(stderr, "sync editor: unknown command byte %u; ignored\n", unsigned(uint8_t(editor.in[at])));
        else
            apply(m);
        at += used;
    }
    editor.in.erase(0, at);
}

void awaitConnection(void)
{
    pollfd p = {editor.socket, POLLOUT, 0};
    if (poll(&p, 1, 0) <= 0)
        return;
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(editor.socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
        return drop(strerror(error ? error : errno));
    editor.state = GREETING;
    editor.out = CLIENT_GREETING;
}

void awaitGreeting(void)
{
    if (editor.in.size() < EDITOR_GREETING_BYTES)
        return;
    if (editor.in.compare(0, EDITOR_GREETING_BYTES, EDITOR_GREETING) != 0)
        return drop("it did not answer as a sync editor");
    editor.in.erase(0, EDITOR_GREETING_BYTES);
    greeted();
}

} // namespace

size_t syncMessageRead(const uint8_t* data, size_t size, syncMessage_t* message)
{
    if (size == 0)
        return 0;
    *message = syncMessage_t{data[0], 0, syncKey_t{0, 0.0f, 0}, 0, 0};
    switch (data[0]) {
    case SYNC_SET_KEY: {
        if (size < 14)
            return 0;
        uint32_t bits = readBig(data + 9);
        message->track = readBig(data + 1);
        message->key.row = int32_t(readBig(data + 5));
        memcpy(&message->key.value, &bits, sizeof bits);
        message->key.type = data[13];
        return 14;
    }
    case SYNC_DELETE_KEY:
        if (size < 9)
            return 0;
        message->track = readBig(data + 1);
        message->key.row = int32_t(readBig(data + 5));
        return 9;
    case SYNC_SET_ROW:
        if (size < 5)
            return 0;
        message->row = readBig(data + 1);
        return 5;
    case SYNC_PAUSE:
        if (size < 2)
            return 0;
        message->flag = data[1] != 0;
        return 2;
    case SYNC_SAVE_TRACKS:
        return 1;
    default:
        message->command = -1;
        return 1;
    }
}

void syncEditorOpen(const char* host, int port, syncTrack_t* tracks, int trackCount, const char* base,
                    syncEditorHandler_t handler)
{
    syncEditorClose();
    editor.tracks = tracks;
    editor.trackCount = trackCount;
    editor.base = base;
    editor.handler = handler;
    editor.where = std::string(host) + ":" + std::to_string(port);
    // Resolved once, before the run: a name lookup may wait, a frame may not.
    addrinfo hints = {};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, std::to_string(port).c_str(), &hints, &found) != 0 || !found) {
        fprintf(stderr, "sync editor: cannot find the host %s; running without the editor\n", host);
        editor.addressLength = 0;
        return;
    }
    memcpy(&editor.address, found->ai_addr, found->ai_addrlen);
    editor.addressLength = found->ai_addrlen;
    freeaddrinfo(found);
}

void syncEditorPoll(int row, int playing, double nowSeconds)
{
    if (editor.addressLength == 0)
        return;
    if (editor.state == IDLE && nowSeconds - editor.lastTry >= SYNC_EDITOR_RETRY)
        startConnecting(nowSeconds);
    // A host that drops the packets, or a server that never greets, is given up on.
    if ((editor.state == CONNECTING || editor.state == GREETING) && nowSeconds - editor.lastTry > SYNC_EDITOR_ANSWER)
        drop("no answer");
    if (editor.state == CONNECTING)
        awaitConnection();
    if (editor.state == IDLE || editor.state == CONNECTING)
        return;
    if (!receive())
        return drop("the editor closed the connection");
    if (editor.state == GREETING)
        awaitGreeting();
    if (editor.state == READY) {
        readMessages();
        if (playing && row != editor.sentRow) {
            editor.out += char(SYNC_SET_ROW);
            appendBig(&editor.out, uint32_t(row));
            editor.sentRow = row;
        }
    }
    if (editor.state != IDLE && !flush())
        drop(strerror(errno));
}

int syncEditorConnected(void)
{
    return editor.state == READY;
}

void syncEditorClose(void)
{
    if (editor.socket >= 0)
        close(editor.socket);
    editor = syncEditor_t();
}
