// Pieces shared by the connection engine's source files (main thread only).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class HostItem;
class VncObject;

// "'" + name + "' - " + host address: how log lines name a host.
std::string tnConnectionLogSuffix(const HostItem* itm);

// Every record that owns a connection object right now, also records whose line has
// been deleted meanwhile, so that no object is left without an owner that releases it.
std::vector<HostItem*>& tnItemsWithObjects();

// Releases the record's connection object: hides it if shown and detaches it (`vnc`
// becomes null); its reader is asked to stop, and the object, its client and buffers are
// freed at once when its worker has ended, or as soon as it has (tnReleaseRetiredObjects).
void tnReleaseVncObject(HostItem* itm);
// Frees the detached objects whose worker has ended (main thread).
void tnReleaseRetiredObjects();
// Waits up to `seconds` for every worker to end (shut-down); true when all have.
bool tnWaitForWorkers(double seconds);

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
void tnDeliverResultNow(HostItem* itm);

// libvncclient (0.9.14) refuses an empty VNC password without freeing the string that
// handlePassword gave it; the handshake worker frees it once rfbInitClient has returned
// (per thread: the password hook runs on the worker).
void tnFreeRefusedEmptyPassword();
