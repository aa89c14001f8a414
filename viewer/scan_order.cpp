#include "viewer/scan_order.h"

int tnNextScanLine(const std::vector<bool>& connected, int index)
{
    const int lines = static_cast<int>(connected.size());
    if (index < 0 || index >= lines)
        index = 0;
    for (int step = 1; step <= lines; step++) {
        const int line = (index + step - 1) % lines + 1;
        if (connected[line - 1])
            return line;
    }
    return 0;
}
