// Scan mode: the viewer steps through the connected hosts of the list, each shown for
// scanTimeout seconds, until the scan button, the user's hand in the viewer or the end
// of the last connection stops it.
#pragma once

#include <vector>

// The line a scan step shows after line `index` (0: start at the top). `connected[i]`
// says whether line i + 1 holds a connected host (separators and other lines do not).
// The search goes round to line 1 after the last line; an index past the end starts at
// the top. 0 when no line holds a connected host.
int tnNextScanLine(const std::vector<bool>& connected, int index);

// The scan button: starts a scan after the selected line, or stops the scan it shows.
void tnHandleScanButton();

// One scan step, run at once by the button and then as a toolkit timeout every
// scanTimeout seconds: shows the next connected host, or ends the scan when scanning was
// switched off meanwhile (a click, drag or key in the viewer) or nothing is connected.
void tnScanTimer(void*);
