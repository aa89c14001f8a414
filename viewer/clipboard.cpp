// The clipboard in both directions between this desktop and the shown host.
#include "viewer/cut_text.h"

#include <FL/Fl.H>

#include <cstdint>
#include <vector>

#include "connection/vnc_object.h"
#include "core/app.h"
#include "viewer/vnc_viewer.h"

namespace {

// The connection a clipboard request was made for. The text comes later, as a paste
// event; if another connection is shown by then, it is not that one's.
const VncObject* pasteRequestedFor = nullptr;

void tnRequestClipboardFor(VncViewer* viewer)
{
    pasteRequestedFor = viewer->vnc;
    Fl::paste(*viewer, 1, Fl::clipboard_plain_text);
}

// Length of the UTF-8 sequence starting at `at` and its code point; 0 when the bytes there
// are not a valid sequence (stray continuation byte, overlong form, surrogate, cut short).
size_t tnDecodeUtf8(const std::string& text, size_t at, uint32_t* codePoint)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    size_t length;
    uint32_t value;
    if (lead < 0x80) {
        *codePoint = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > text.size())
        return 0;
    for (size_t i = 1; i < length; i++) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (byte(at + i) & 0x3F);
    }
    static const uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < smallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    *codePoint = value;
    return length;
}

// Sends the local clipboard text `utf8` to `vnc` unless the host already has it.
void tnSendCutText(VncObject* vnc, const std::string& utf8)
{
    if (!vnc || !vnc->vncClient || utf8.empty())
        return;
    std::string latin1 = tnUtf8ToLatin1(utf8);
    if (latin1 == vnc->lastCutText)
        return;
    std::vector<char> buffer(latin1.begin(), latin1.end());
    SendClientCutText(vnc->vncClient, buffer.data(), static_cast<int>(buffer.size()));
    vnc->lastCutText = std::move(latin1);
}

} // namespace

std::string tnUtf8ToLatin1(const std::string& utf8)
{
    std::string latin1;
    latin1.reserve(utf8.size());
    size_t at = 0;
    while (at < utf8.size()) {
        uint32_t codePoint = 0;
        const size_t length = tnDecodeUtf8(utf8, at, &codePoint);
        latin1 += codePoint <= 0xFF && length > 0 ? static_cast<char>(codePoint) : '?';
        at += length > 0 ? length : 1;
    }
    return latin1;
}

std::string tnLatin1ToUtf8(const std::string& latin1)
{
    std::string utf8;
    utf8.reserve(latin1.size() * 2);
    for (const char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xC0 | (byte >> 6));
            utf8 += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return utf8;
}

void tnHandleLocalClipboard(int source, void*)
{
    // 1 is the clipboard; 0, the primary selection, is not shared.
    if (source != 1)
        return;
    VncViewer* viewer = app->vncViewer;
    if (!viewer || !viewer->vnc || app->clipboardBusy)
        return;
    app->clipboardBusy = true;
    // Arrives at the viewer as FL_PASTE, which sends the text to the shown host.
    tnRequestClipboardFor(viewer);
    app->clipboardBusy = false;
}

void tnOfferClipboardToShownHost()
{
    VncViewer* viewer = app->vncViewer;
    if (!viewer || !viewer->vnc || app->clipboardBusy)
        return;
    // The text arrives as FL_PASTE (at once when this program owns the clipboard, later
    // otherwise) and goes out only if the host does not have it yet.
    tnRequestClipboardFor(viewer);
}

void tnHandlePastedText(VncObject* vnc, const char* text, int length)
{
    const VncObject* requestedFor = pasteRequestedFor;
    pasteRequestedFor = nullptr;
    if (requestedFor && requestedFor != vnc)
        return;
    if (text && length > 0)
        tnSendCutText(vnc, std::string(text, static_cast<size_t>(length)));
}

void VncObject::handleRemoteClipboardProc(rfbClient* client, const char* text, int len)
{
    if (!client)
        return;
    auto* vnc = static_cast<VncObject*>(rfbClientGetClientData(client, app->libVncTag));
    if (!vnc)
        return;
    if (len <= 0 || !text)
        return;
    // The host has this text now, whether or not it is taken here.
    vnc->lastCutText.assign(text, static_cast<size_t>(len));
    VncViewer* viewer = app->vncViewer;
    // Only the shown connection's clipboard is taken.
    if (!viewer || viewer->vnc != vnc)
        return;
    const std::string utf8 = tnLatin1ToUtf8(vnc->lastCutText);
    app->clipboardBusy = true;
    Fl::copy(utf8.data(), static_cast<int>(utf8.size()), 1, Fl::clipboard_plain_text);
    SendFramebufferUpdateRequest(client, 0, 0, client->width, client->height, FALSE);
    app->clipboardBusy = false;
    viewer->redraw();
    Fl::awake();
}
