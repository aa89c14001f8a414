// Scan mode: the viewer steps through the connected hosts of the list, each shown for
// scanTimeout seconds, until the scan button, the user's hand in the viewer or the end
// of the last connection stops it.
#pragma once

// The scan button: starts a scan after the selected line, or stops the scan it shows.
void tnHandleScanButton();

// One scan step, run at once by the button and then as a toolkit timeout every
// scanTimeout seconds: shows the next connected host, or ends the scan when scanning was
// switched off meanwhile (a click, drag or key in the viewer) or nothing is connected.
void tnScanTimer(void*);
