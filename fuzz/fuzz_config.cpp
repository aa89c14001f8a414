// Reads arbitrary bytes as a configuration file, writes the result and reads that again:
// the second reading must write exactly the same text as the first.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "config/config.h"
#include "config/host_item.h"
#include "core/options.h"

namespace {

// Reads `text` into a fresh state and returns the file text the writer makes of it.
std::string readAndWrite(const std::string& text)
{
    AppOptions options;
    std::istringstream in(text);
    const std::vector<TNConfigLine> lines = tnConfigParse(in, options);
    std::vector<const HostItem*> hosts;
    for (const TNConfigLine& line : lines) {
        if (line.item)
            hosts.push_back(line.item);
        else if (line.text != tnSeparatorFirst && line.text != tnSeparatorLater)
            abort();   // only the two separator texts come without an item
    }
    std::string written = tnConfigSerialize(options, hosts);
    for (const TNConfigLine& line : lines)
        delete line.item;
    return written;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string once = readAndWrite(std::string(reinterpret_cast<const char*>(data), size));
    const std::string twice = readAndWrite(once);
    if (once != twice) {
        fprintf(stderr, "configuration text changed on a second round trip\n--- first ---\n%s\n--- second ---\n%s\n",
                once.c_str(), twice.c_str());
        abort();
    }
    return 0;
}
