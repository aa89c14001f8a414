// The order in which scan mode visits the host list.
#pragma once

#include <vector>

// The line a scan step shows after line `index` (0: start at the top). `connected[i]`
// says whether line i + 1 holds a connected host (separators and other lines do not).
// The search goes round to line 1 after the last line; an index past the end starts at
// the top. 0 when no line holds a connected host.
int tnNextScanLine(const std::vector<bool>& connected, int index);
