// Shared between the viewer's own files only.
#pragma once

class VncObject;

// True when the shown connection's remote screen no longer has the size it was laid out
// for (the server changed its desktop size since).
bool tnViewerLayoutIsStale(const VncObject* vnc);
// The viewer shows another connection (or none): what is kept of the last one's drawing
// (changed rectangles, the scaled picture) is dropped, and the next draw draws it all.
void tnViewerForgetPicture();
