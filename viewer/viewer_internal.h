// Shared between the viewer's own files only.
#pragma once

class VncObject;

// True when the shown connection's remote screen no longer has the size it was laid out
// for (the server changed its desktop size since).
bool tnViewerLayoutIsStale(const VncObject* vnc);
