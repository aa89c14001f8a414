// A connection's reader: from the end of the handshake the worker thread reads the server's
// messages, sends the input the window's thread queued, copies each update into the
// picture the window draws (a shown connection's) and scales it into the overview's tile,
// and tells the window's thread what happened.
#include <gnutls/gnutls.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <cerrno>
#include <cstring>

#include "config/host_item.h"
#include "connection/engine_internal.h"
#include "connection/front_end.h"
#include "connection/pixel_rows.h"
#include "connection/vnc_object.h"
#include "core/log.h"

namespace {

// One posted handler at a time carries every reader's messages.
std::atomic<bool> messagesQueued{false};

// An update with more rectangles than this is copied as their bounding box.
constexpr size_t tnMaxUpdateRects = 64;

void tnWake(int fd)
{
    if (fd < 0)
        return;
    const uint64_t one = 1;
    ssize_t written = write(fd, &one, sizeof(one));
    (void)written;
}

// Dead peers of idle connections are found by the system: a still screen sends nothing
// for hours, so silence alone never ends a connection.
void tnKeepAlive(int sock)
{
    const int on = 1;
    const int idle = 60;
    const int interval = 10;
    const int count = 6;
    setsockopt(sock, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof(on));
    setsockopt(sock, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof(idle));
    setsockopt(sock, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof(interval));
    setsockopt(sock, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof(count));
}

void tnSetUpdateRequests(rfbClient* client, bool allowed)
{
    uint8_t& bits = client->supportedMessages.client2server[rfbFramebufferUpdateRequest / 8];
    const uint8_t bit = static_cast<uint8_t>(1u << (rfbFramebufferUpdateRequest % 8));
    bits = allowed ? static_cast<uint8_t>(bits | bit) : static_cast<uint8_t>(bits & ~bit);
}

// Copies the rows of the frame buffer's rectangle `r` into the picture, which has its size.
void tnCopyToPicture(TNPicture& picture, const uint8_t* frameBuffer, const TNRect& r)
{
    const size_t rowBytes = static_cast<size_t>(picture.width) * 4;
    uint8_t* pixels = picture.data();
    const bool lent = picture.inLentMemory();
    for (int y = r.y; y < r.y + r.h; y++) {
        const size_t at = static_cast<size_t>(y) * rowBytes + static_cast<size_t>(r.x) * 4;
        // The window's image ignores the pad byte; the picture's own pixels are drawn
        // through the toolkit, which wants it opaque.
        if (lent)
            memcpy(pixels + at, frameBuffer + at, static_cast<size_t>(r.w) * 4);
        else
            tnCopyOpaque(pixels + at, frameBuffer + at, r.w);
    }
}

// A connection being shown: the whole frame buffer into the picture, which the window's
// thread then hears of as an update. Between messages: nothing writes the frame buffer.
void tnMakePicture(VncObject* vnc)
{
    rfbClient* client = vnc->vncClient;
    if (!client->frameBuffer || client->width <= 0 || client->height <= 0)
        return;
    {
        std::lock_guard<std::mutex> hold(vnc->pictureLock);
        TNPicture& picture = vnc->picture;
        picture.width = client->width;
        picture.height = client->height;
        picture.makeRoom();
        tnCopyToPicture(picture, client->frameBuffer, {0, 0, client->width, client->height});
        vnc->pictureDamage.clear();
        vnc->pictureDamage.everything = true;
    }
    tnPostReaderMessage(vnc, tnUpdated);
}

// A connection being hidden keeps no picture: its own pixels go.
void tnDropPicture(VncObject* vnc)
{
    std::lock_guard<std::mutex> hold(vnc->pictureLock);
    vnc->picture.drop();
    vnc->pictureDamage.clear();
}

// Scales the frame buffer into the overview's tile, when there is one: whole when the tile
// is new or its size or the screen's changed, else the rectangles `changed`. Between
// messages or at the end of an update only. True when the tile changed.
bool tnScaleTile(VncObject* vnc, const std::vector<TNRect>& changed)
{
    rfbClient* client = vnc->vncClient;
    if (!client->frameBuffer || client->width <= 0 || client->height <= 0)
        return false;
    const TNPixels source{client->width, client->height, client->frameBuffer};
    std::lock_guard<std::mutex> hold(vnc->tileLock);
    TNTilePicture& tile = vnc->tile;
    if (tile.wantedW <= 0 || tile.wantedH <= 0)
        return false;
    if (!tile.scaled.matches(client->width, client->height, tile.wantedW, tile.wantedH, false)) {
        tile.scaled.rebuild(source, tile.wantedW, tile.wantedH, false);
    } else {
        if (changed.empty())
            return false;
        for (const TNRect& r : changed)
            tile.scaled.update(source, r);
    }
    tile.changed = true;
    return true;
}

// Sends what the window's thread queued and is due; `waitMs` becomes how long the reader
// may wait before motion held back is due (-1: nothing held). False when a send failed.
bool tnSendQueuedInput(VncObject* vnc, bool& shown, int& waitMs)
{
    std::deque<TNInputEvent> events;
    waitMs = -1;
    {
        std::lock_guard<std::mutex> hold(vnc->inputLock);
        const auto now = TNInputQueue::Clock::now();
        events = vnc->input.take(now);
        if (!vnc->input.empty()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(vnc->input.motionDue() - now);
            waitMs = static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 1));
        }
    }
    rfbClient* client = vnc->vncClient;
    for (const TNInputEvent& event : events) {
        bool sent = true;
        switch (event.kind) {
        case TNInputEvent::Kind::Pointer:
            sent = SendPointerEvent(client, event.x, event.y, event.buttons);
            break;
        case TNInputEvent::Kind::Key:
            sent = SendKeyEvent(client, event.keysym, event.down ? TRUE : FALSE);
            break;
        case TNInputEvent::Kind::CutText: {
            std::vector<char> text(event.text.begin(), event.text.end());
            sent = event.utf8 ? SendClientCutTextUTF8(client, text.data(), static_cast<int>(text.size()))
                              : SendClientCutText(client, text.data(), static_cast<int>(text.size()));
            break;
        }
        case TNInputEvent::Kind::FullUpdate:
            sent = SendFramebufferUpdateRequest(client, 0, 0, client->width, client->height, FALSE);
            break;
        case TNInputEvent::Kind::IncrementalUpdate:
            sent = SendIncrementalFramebufferUpdateRequest(client);
            break;
        case TNInputEvent::Kind::Show:
            // The frame buffer of a hidden connection may be old: a full picture first.
            shown = true;
            tnMakePicture(vnc);
            tnSetUpdateRequests(client, true);
            sent = SendFramebufferUpdateRequest(client, 0, 0, client->width, client->height, FALSE);
            break;
        case TNInputEvent::Kind::Hide:
            shown = false;
            tnDropPicture(vnc);
            tnSetUpdateRequests(client, false);
            break;
        }
        if (!sent)
            return false;
    }
    return true;
}

// A hidden connection's requests while the overview is open: one at a time, the next no
// sooner than a period after the last, the first after the overview opened for a full picture
// (a connection that was never shown has none).
struct TNOverviewRefresh {
    using Clock = std::chrono::steady_clock;
    int periodMs = 0;
    bool asked = false;
    bool fullDue = true;
    unsigned seenUpdates = 0;
    Clock::time_point next;
};

// Sends the overview's request when one is due; `waitMs` is shortened to when the next one
// is. False when the send failed.
bool tnRefreshForOverview(VncObject* vnc, bool shown, TNOverviewRefresh& refresh, int& waitMs)
{
    const int periodMs = vnc->overviewPeriodMs;
    if (periodMs <= 0 || refresh.periodMs <= 0)
        refresh.fullDue = true;
    refresh.periodMs = periodMs;
    if (shown || periodMs <= 0) {
        refresh.asked = false;
        return true;
    }
    if (vnc->updatesFinished != refresh.seenUpdates) {
        refresh.seenUpdates = vnc->updatesFinished;
        refresh.asked = false;
    }
    if (refresh.asked)
        return true;
    const auto now = TNOverviewRefresh::Clock::now();
    if (now < refresh.next) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(refresh.next - now).count();
        const int due = static_cast<int>(std::max<std::chrono::milliseconds::rep>(left, 1));
        waitMs = waitMs < 0 ? due : std::min(waitMs, due);
        return true;
    }
    rfbClient* client = vnc->vncClient;
    tnSetUpdateRequests(client, true);
    const bool sent = SendFramebufferUpdateRequest(client, 0, 0, client->width, client->height,
                                                   refresh.fullDue ? FALSE : TRUE);
    tnSetUpdateRequests(client, false);
    refresh.asked = true;
    refresh.fullDue = false;
    refresh.next = now + std::chrono::milliseconds(periodMs);
    return sent;
}

// Bytes already read that make up (part of) the next message: the socket no longer shows them.
bool tnHasBufferedBytes(rfbClient* client)
{
    if (client->buffered > 0)
        return true;
    if (client->tlsSession)
        return gnutls_record_check_pending(static_cast<gnutls_session_t>(client->tlsSession)) > 0;
    return false;
}

void tnEndReading(VncObject* vnc)
{
    std::string reason = vnc->refusal;
    if (reason.empty() && !vnc->libraryMessages.empty())
        reason = vnc->libraryMessages.back();
    {
        std::lock_guard<std::mutex> hold(vnc->messageLock);
        vnc->endReason = reason;
    }
    tnPostReaderMessage(vnc, tnEnded);
}

} // namespace

void tnPostReaderMessage(VncObject* vnc, unsigned message)
{
    vnc->pendingMessages.fetch_or(message);
    if (!messagesQueued.exchange(true))
        tnFrontEnd().post(tnHandleReaderMessages);
}

void tnReaderUpdateRect(VncObject* vnc, int x, int y, int w, int h)
{
    tnAddDamage(vnc->updateRects, {x, y, w, h}, tnMaxUpdateRects);
}

void tnReaderFinishedUpdate(VncObject* vnc)
{
    vnc->updatesFinished++;
    rfbClient* client = vnc->vncClient;
    auto& rects = vnc->updateRects;
    if (rects.empty() || !client->frameBuffer)
        return;
    bool changed = false;
    {
        std::lock_guard<std::mutex> hold(vnc->pictureLock);
        TNPicture& picture = vnc->picture;
        if (picture.hasPixels() && picture.width == client->width && picture.height == client->height) {
            for (const TNRect& r : rects) {
                const TNRect part = tnClip(r, {0, 0, client->width, client->height});
                tnCopyToPicture(picture, client->frameBuffer, part);
                // The window's thread draws only what changed.
                vnc->pictureDamage.add(part);
            }
            changed = true;
        }
    }
    changed = tnScaleTile(vnc, rects) || changed;
    rects.clear();
    if (changed)
        tnPostReaderMessage(vnc, tnUpdated);
}

void tnReaderNewFrameBuffer(VncObject* vnc, int width, int height)
{
    std::lock_guard<std::mutex> hold(vnc->pictureLock);
    TNPicture& picture = vnc->picture;
    const bool shown = picture.hasPixels();
    picture.width = width;
    picture.height = height;
    // A shown connection's picture starts black at the new size; a hidden one has none.
    if (shown) {
        uint8_t* pixels = picture.makeRoom();
        memset(pixels, 0, picture.bytes());
        if (!picture.inLentMemory()) {
            for (size_t i = 3; i < picture.bytes(); i += 4)
                pixels[i] = 255;
        }
    }
    vnc->pictureDamage.clear();
    vnc->pictureDamage.everything = true;
}

void tnRunReader(VncObject* vnc)
{
    rfbClient* client = vnc->vncClient;
    TNLibraryMessageScope messages(vnc);
    tnKeepAlive(client->sock);
    client->readTimeout = vnc->handshakeHost.readTimeout;
    // Hidden until the window shows it: the library asks for no update by itself.
    bool shown = false;
    tnSetUpdateRequests(client, false);
    vnc->readerSocket = client->sock;
    // A stop asked for before the socket was known has not shut it down.
    if (vnc->stopReading)
        return;
    pollfd waits[2] = {{client->sock, POLLIN, 0}, {vnc->wakeFd, POLLIN, 0}};
    TNOverviewRefresh refresh;
    while (!vnc->stopReading) {
        int waitMs = -1;
        if (!tnSendQueuedInput(vnc, shown, waitMs) || !tnRefreshForOverview(vnc, shown, refresh, waitMs)) {
            if (!vnc->stopReading)
                tnEndReading(vnc);
            return;
        }
        // A tile the overview asked for, or one of a new size.
        if (tnScaleTile(vnc, {}))
            tnPostReaderMessage(vnc, tnUpdated);
        bool ready = tnHasBufferedBytes(client);
        if (!ready) {
            waits[0].revents = 0;
            waits[1].revents = 0;
            if (poll(waits, 2, waitMs) < 0 && errno != EINTR)
                break;
            if (waits[1].revents & POLLIN) {
                uint64_t count = 0;
                ssize_t got = read(vnc->wakeFd, &count, sizeof(count));
                (void)got;
            }
            ready = (waits[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
        }
        if (!ready || vnc->stopReading)
            continue;
        const bool handled = HandleRFBServerMessage(client);
        // The server's clipboard capabilities come as a message of their own.
        vnc->utf8CutText = ExtendedClipboardHasText(client);
        // The server's list of supported messages may have turned requests on again.
        if (!shown)
            tnSetUpdateRequests(client, false);
        if (!handled) {
            if (!vnc->stopReading)
                tnEndReading(vnc);
            return;
        }
    }
}

// ---- The window's thread's side ----

namespace {

void tnQueueInput(VncObject* vnc, const std::function<void(TNInputQueue&)>& add)
{
    {
        std::lock_guard<std::mutex> hold(vnc->inputLock);
        add(vnc->input);
    }
    tnWake(vnc->wakeFd);
}

} // namespace

void VncObject::sendPointer(int x, int y, int buttons, bool merge)
{
    bool merged = false;
    {
        std::lock_guard<std::mutex> hold(inputLock);
        merged = input.pointer(x, y, buttons, merge);
    }
    // Merged into queued motion: the reader has been woken for that one already, or waits
    // for its turn with a time-out; either way it takes this position with it.
    if (!merged)
        tnWake(wakeFd);
}

void VncObject::sendKey(uint32_t keysym, bool down)
{
    tnQueueInput(this, [&](TNInputQueue& queue) { queue.key(keysym, down); });
}

void VncObject::sendCutText(const std::string& text, bool utf8)
{
    tnQueueInput(this, [&](TNInputQueue& queue) { queue.cutText(text, utf8); });
}

void VncObject::requestFullUpdate()
{
    tnQueueInput(this, [](TNInputQueue& queue) { queue.fullUpdate(); });
}

void VncObject::requestIncrementalUpdate()
{
    tnQueueInput(this, [](TNInputQueue& queue) { queue.incrementalUpdate(); });
}

void VncObject::showOnReader()
{
    tnQueueInput(this, [](TNInputQueue& queue) { queue.show(); });
}

void VncObject::hideOnReader()
{
    tnQueueInput(this, [](TNInputQueue& queue) { queue.hide(); });
}

void VncObject::setOverviewRefresh(int periodMs)
{
    if (overviewPeriodMs.exchange(periodMs) != periodMs)
        tnWake(wakeFd);
}

void VncObject::setTileSize(int w, int h)
{
    const bool wanted = w > 0 && h > 0;
    bool changed = false;
    {
        std::lock_guard<std::mutex> hold(tileLock);
        changed = tile.wantedW != w || tile.wantedH != h;
        tile.wantedW = wanted ? w : 0;
        tile.wantedH = wanted ? h : 0;
        if (!wanted) {
            tile.scaled.clear();
            tile.changed = false;
        }
    }
    if (changed && wanted)
        tnWake(wakeFd);
}

void VncObject::stopReader()
{
    stopReading = true;
    // Wakes a read or write that waits on the socket, as well as the wait for input.
    const int sock = readerSocket;
    if (sock >= 0)
        shutdown(sock, SHUT_RDWR);
    tnWake(wakeFd);
}

void VncObject::checkVNCMessages(VncObject* vnc)
{
    HostItem* itm = vnc ? vnc->itm : nullptr;
    if (!itm || tnVncOf(itm) != vnc)
        return;
    const unsigned messages = vnc->pendingMessages.exchange(0);
    if (messages == 0)
        return;
    TNFrontEnd& frontEnd = tnFrontEnd();
    if (messages & tnResized) {
        std::lock_guard<std::mutex> hold(vnc->pictureLock);
        vnc->remoteWidth = vnc->picture.width;
        vnc->remoteHeight = vnc->picture.height;
    }
    if (messages & tnResized)
        frontEnd.desktopResized(vnc);
    if (messages & tnUpdated)
        frontEnd.frameUpdated(vnc);
    if (messages & tnCursorChanged) {
        TNCursorShape shape;
        {
            std::lock_guard<std::mutex> hold(vnc->messageLock);
            shape = std::move(vnc->receivedCursor);
        }
        frontEnd.cursorShapeChanged(vnc, shape);
    }
    if (messages & tnCutText) {
        std::string text;
        bool utf8 = false;
        {
            std::lock_guard<std::mutex> hold(vnc->messageLock);
            text.swap(vnc->receivedCutText);
            utf8 = vnc->receivedCutTextUtf8;
        }
        frontEnd.cutTextReceived(vnc, text.data(), static_cast<int>(text.size()), utf8);
    }
    if (messages & tnEnded) {
        std::string reason;
        {
            std::lock_guard<std::mutex> hold(vnc->messageLock);
            reason = vnc->endReason;
        }
        if (tnIsConnected(itm))
            tnReportConnectionError(itm, reason);
        tnConnectionLost(itm, reason);
    }
}

void tnHandleReaderMessages()
{
    messagesQueued = false;
    // A copy: handling a message may end a connection.
    std::vector<HostItem*> hosts;
    for (const TNConnection* connection : tnConnections())
        hosts.push_back(connection->host.get());
    for (HostItem* itm : hosts) {
        if (VncObject* vnc = tnVncOf(itm))
            VncObject::checkVNCMessages(vnc);
    }
    tnReleaseRetiredObjects();
}
