// Descriptors and the programs the program starts.
#pragma once

// Sets close-on-exec on every open descriptor above the standard streams, so that no
// program started later inherits one of them.
void tnMarkDescriptorsCloseOnExec();
// Whether a descriptor is closed when a program is started (false for a closed one).
bool tnIsCloseOnExec(int fd);
