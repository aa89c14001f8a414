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

// Releases the record's connection object at once: hides it if shown, closes and frees
// its client (unless the library already did), frees its buffers; `vnc` becomes null.
// The caller makes sure no worker uses the object any more.
void tnReleaseVncObject(HostItem* itm);

// The object's worker stops counting in activeConnectionCount (does nothing the second time).
void tnUncountActiveConnection(VncObject* vnc);

// Hands an attempt that failed on the main thread to the result handler at once.
void tnDeliverResultNow(HostItem* itm);

// libvncclient (0.9.14) refuses an empty VNC password without freeing the string that
// handlePassword gave it; the handshake worker frees it once rfbInitClient has returned
// (per thread: the password hook runs on the worker).
void tnFreeRefusedEmptyPassword();
