// The clipboard in both directions between this desktop and the shown host.
#include "viewer/cut_text.h"

#include <FL/Fl.H>

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

// Sends the local clipboard text `utf8` to `vnc` unless the host already has it: as UTF-8
// when the host takes it (the extended clipboard), as Latin-1 otherwise.
void tnSendCutText(VncObject* vnc, const std::string& utf8)
{
    if (!vnc || !vnc->vncClient || utf8.empty())
        return;
    const bool extended = vnc->utf8CutText;
    std::string text = extended ? tnValidUtf8(utf8) : tnUtf8ToLatin1(utf8);
    if (extended && !tnCutTextFits(text.size()))
        return;
    if (text == vnc->lastCutText)
        return;
    vnc->sendCutText(text, extended);
    vnc->lastCutText = std::move(text);
}

} // namespace

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

void tnReceiveCutText(VncObject* vnc, const char* text, int len, bool utf8)
{
    if (!vnc || !vnc->vncClient || len <= 0 || !text)
        return;
    // The host has this text now, whether or not it is taken here.
    vnc->lastCutText.assign(text, static_cast<size_t>(len));
    VncViewer* viewer = app->vncViewer;
    // Only the shown connection's clipboard is taken.
    if (!viewer || viewer->vnc != vnc)
        return;
    const std::string local = utf8 ? tnValidUtf8(vnc->lastCutText) : tnLatin1ToUtf8(vnc->lastCutText);
    app->clipboardBusy = true;
    Fl::copy(local.data(), static_cast<int>(local.size()), 1, Fl::clipboard_plain_text);
    vnc->requestFullUpdate();
    app->clipboardBusy = false;
    viewer->redraw();
    Fl::awake();
}
