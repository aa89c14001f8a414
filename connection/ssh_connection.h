// The steps of a connection attempt of a type-'s' host that concern its SSH tunnel
// (connection/ssh_tunnel.h): on the main thread when the attempt starts and when the
// connection ends, on the handshake worker before the handshake.
#pragma once

class HostItem;
class VncObject;

// Main thread, when the attempt starts: checks the key file and the record, reserves a local
// port and prepares the tunnel of `vnc` (nothing runs yet). False when the attempt must not
// go on: the attempt's error, log line and message box are done.
bool tnPrepareSSHTunnel(HostItem* itm, VncObject* vnc);
// Handshake worker: checks the ssh command, starts the tunnel and waits until it listens.
// True when the handshake may go on; otherwise the tunnel is closed and the attempt's
// error and log line are done (nothing more when the attempt was ended meanwhile).
bool tnCreateSSHConnection(VncObject* vnc);
// Main thread, when the connection ends: closes the tunnel (at shut-down before returning,
// otherwise on a closer thread).
void tnCloseSSHConnection(VncObject* vnc);
