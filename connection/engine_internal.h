// Pieces shared by the connection engine's source files (main thread only).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "connection/connection_state.h"
#include "connection/front_end.h"

class HostItem;
class VncObject;
struct TNConnection;

// "'" + name + "' - " + host address: how log lines name a host.
std::string tnConnectionLogSuffix(const HostItem* itm);

// Releases the host's attempt object: hides it if shown and detaches it (the record's `vnc`
// becomes null); its reader is asked to stop, and the object, its client and buffers are
// freed at once when its worker has ended, or as soon as it has (tnReleaseRetiredObjects).
void tnReleaseVncObject(TNConnection& connection);
// Frees the detached objects whose worker has ended (main thread).
void tnReleaseRetiredObjects();
// Changes the host's state (a dropped host's attempt count goes once it no longer reconnects).
void tnSetState(TNConnection& connection, TNConnectionState state);
// The next attempt of a host that is Reconnecting: after its drop for `reason`, or after
// its last attempt failed (reconnect.cpp).
void tnPlanReconnectAfterDrop(TNConnection& connection, const std::string& reason);
void tnPlanReconnectAfterFailure(TNConnection& connection);
// Sets the host's line icon (the record keeps it, the front end shows it).
void tnSetIcon(TNConnection& connection, TNHostIcon icon);

// ---- The reader (reader.cpp) ----
// The worker's reading of the connection after a successful handshake, until it ends.
void tnRunReader(VncObject* vnc);
// Tells the window's thread a TNReaderMessage of `vnc` (any thread).
void tnPostReaderMessage(VncObject* vnc, unsigned message);
// Library hooks on the reader: a rectangle of the update arrived; the update is complete
// (its rectangles go into the picture); the library made a new frame buffer.
void tnReaderUpdateRect(VncObject* vnc, int x, int y, int w, int h);
void tnReaderFinishedUpdate(VncObject* vnc);
void tnReaderNewFrameBuffer(VncObject* vnc, int width, int height);

// The object's worker stops counting in activeConnectionCount (does nothing the second time).
void tnUncountActiveConnection(VncObject* vnc);

// Hands an attempt that failed on the main thread to the result handler at once.
void tnDeliverResultNow(VncObject* vnc);

// libvncclient (0.9.14) refuses an empty VNC password without freeing the string that
// handlePassword gave it; the handshake worker frees it once rfbInitClient has returned
// (per thread: the password hook runs on the worker).
void tnFreeRefusedEmptyPassword();
