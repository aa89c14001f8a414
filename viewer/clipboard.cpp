// The clipboard in both directions between this desktop and the shown host.
#include "viewer/cut_text.h"

#include <FL/Fl.H>

#include <cstdint>

#include "connection/vnc_object.h"
#include "core/log.h"
#include "viewer/vnc_viewer.h"
#include "viewer/x_clipboard.h"

static_assert(tnClipboardLimit == tnCutTextLimit, "one limit for cut text in both directions");

namespace {

// Each change of the local clipboard counts one up; text over the limit is reported once
// per change and size, however often it is offered to a host.
uint64_t localClipboardChanges = 0;
uint64_t reportedOversizeChange = UINT64_MAX;
size_t reportedOversizeSize = 0;

// The newest clipboard request; an older one's text, or text for a connection that is no
// longer shown, is not used.
uint64_t latestRequest = 0;

void tnReportOversizeClipboard(size_t size)
{
    if (reportedOversizeChange == localClipboardChanges && reportedOversizeSize == size)
        return;
    reportedOversizeChange = localClipboardChanges;
    reportedOversizeSize = size;
    tnLogToFile(tnClipboardTooLargeMessage(size));
}

// Sends the local clipboard text `utf8` to `vnc` unless the host already has it: as UTF-8
// when the host takes it (the extended clipboard), as Latin-1 otherwise.
void tnSendCutText(VncObject* vnc, const std::string& utf8)
{
    if (!vnc || !vnc->vncClient || utf8.empty())
        return;
    if (utf8.size() > tnClipboardLimit) {
        tnReportOversizeClipboard(utf8.size());
        return;
    }
    const bool extended = vnc->utf8CutText;
    std::string text = extended ? tnValidUtf8(utf8) : tnUtf8ToLatin1(utf8);
    // Invalid bytes become three-byte replacement characters on the extended path.
    if (text.size() > tnClipboardLimit) {
        tnReportOversizeClipboard(text.size());
        return;
    }
    if (text == vnc->lastCutText)
        return;
    vnc->sendCutText(text, extended);
    vnc->lastCutText = std::move(text);
}

// Reads the local clipboard for the connection `viewer` shows; the text goes to it if it
// is still the shown one when the text is in.
void tnRequestClipboardFor(VncViewer* viewer)
{
    const VncObject* requestedFor = viewer->vnc;
    const uint64_t request = ++latestRequest;
    tnReadClipboardAsync(true, [life = viewer->lifetime(), requestedFor, request](TNClipboardText text) {
        const std::shared_ptr<VncViewer*> alive = life.lock();
        if (!alive || request != latestRequest || (*alive)->vnc != requestedFor)
            return;
        VncViewer* viewer = *alive;
        if (text.result == TNClipboardText::Result::TooLarge)
            tnReportOversizeClipboard(text.size);
        else if (text.result == TNClipboardText::Result::Text)
            tnSendCutText(viewer->vnc, text.text);
    });
}

} // namespace

void tnHandleLocalClipboard(int source, void* data)
{
    // 1 is the clipboard; 0, the primary selection, is not shared.
    if (source != 1)
        return;
    localClipboardChanges++;
    auto* viewer = static_cast<VncViewer*>(data);
    if (!viewer || !viewer->vnc || viewer->clipboardBusy)
        return;
    tnRequestClipboardFor(viewer);
}

void tnOfferClipboardToShownHost(VncViewer& shownBy)
{
    VncViewer* viewer = &shownBy;
    if (!viewer->vnc || viewer->clipboardBusy)
        return;
    // The text goes out only if the host does not have it yet.
    tnRequestClipboardFor(viewer);
}

void tnHandlePastedText(VncObject* vnc, const char* text, int length)
{
    if (text && length > 0)
        tnSendCutText(vnc, std::string(text, static_cast<size_t>(length)));
}

void tnReceiveCutText(VncViewer& viewer, VncObject* vnc, const char* text, int len, bool utf8)
{
    if (!vnc || !vnc->vncClient || len <= 0 || !text)
        return;
    // The host has this text now, whether or not it is taken here.
    vnc->lastCutText.assign(text, static_cast<size_t>(len));
    // Only the shown connection's clipboard is taken.
    if (viewer.vnc != vnc)
        return;
    const std::string local = utf8 ? tnValidUtf8(vnc->lastCutText) : tnLatin1ToUtf8(vnc->lastCutText);
    viewer.clipboardBusy = true;
    Fl::copy(local.data(), static_cast<int>(local.size()), 1, Fl::clipboard_plain_text);
    vnc->requestFullUpdate();
    viewer.clipboardBusy = false;
    viewer.redraw();
    Fl::awake();
}
