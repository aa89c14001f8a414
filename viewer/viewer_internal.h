// Shared between the viewer's own files only.
#pragma once

class VncObject;
class VncViewer;

// True when the shown connection's remote screen no longer has the size it was laid out
// for (the server changed its desktop size since).
bool tnViewerLayoutIsStale(const VncViewer& viewer, const VncObject* vnc);
// The viewer shows another connection (or none): what is kept of the last one's drawing
// (changed rectangles, the scaled picture) is dropped, and the next draw draws it all.
void tnViewerForgetPicture(VncViewer& viewer);
// The shown connection's picture lives in the shared image the viewer puts on the screen
// from, when the display takes its pixels so (viewer/x_blit.h): the image is lent to it when
// it is shown or its size changed, and taken back when it is hidden; only the shown
// connection ever holds it.
void tnLendSharedImage(VncObject* vnc);
void tnTakeBackSharedImage(VncObject* vnc);
// Sets the top window's cursor, once the current event is handled, to the shown
// connection's shape or (`restoreDefault`) the default one; cancelled when the viewer goes.
void tnQueueCursorChange(VncViewer& viewer, bool restoreDefault);
void tnShowDefaultCursor(void* viewer);
void tnCancelCursorChange(VncViewer& viewer);
// The drawing's own deferred steps for the viewer are dropped (the viewer goes).
void tnCancelDrawingTimers(VncViewer& viewer);
