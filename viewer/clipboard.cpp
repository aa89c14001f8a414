// The clipboard in both directions between this desktop and the shown host.
#include <FL/Fl.H>

#include "connection/vnc_object.h"
#include "core/app.h"
#include "viewer/vnc_viewer.h"

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
    Fl::paste(*viewer, 1, Fl::clipboard_plain_text);
    app->clipboardBusy = false;
}

void VncObject::handleRemoteClipboardProc(rfbClient* client, const char* text, int len)
{
    if (!client)
        return;
    auto* vnc = static_cast<VncObject*>(rfbClientGetClientData(client, app->libVncTag));
    if (!vnc)
        return;
    VncViewer* viewer = app->vncViewer;
    // Only the shown connection's clipboard is taken.
    if (!viewer || !viewer->vnc || len <= 0 || !text || viewer->vnc != vnc)
        return;
    app->clipboardBusy = true;
    Fl::copy(text, len, 1, Fl::clipboard_plain_text);
    SendFramebufferUpdateRequest(client, 0, 0, client->width, client->height, FALSE);
    app->clipboardBusy = false;
    viewer->redraw();
    Fl::awake();
}
