// Reading and writing a configuration file with the largest host list the reader keeps (65,000 entries).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "config/base64.h"
#include "config/config.h"
#include "config/host_item.h"
#include "core/options.h"

namespace {

constexpr int kHosts = 65000;

// A file as the writer makes it: every entry with all its keys, a group change every 50 entries,
// passwords and a note in Base64.
const std::string& bigConfigText()
{
    static const std::string text = [] {
        AppOptions options;
        std::vector<HostItem*> items;
        items.reserve(kHosts);
        const std::string password = "secret12";
        const std::string note = "Rack 4, slot " + std::string(3, '7') + ". Reboot only after 22:00.";
        for (int n = 0; n < kHosts; ++n) {
            HostItem* item = new HostItem();
            item->name = "host-" + std::to_string(n);
            item->group = "group-" + std::to_string(n / 50);
            item->hostAddress = "10." + std::to_string(n / 65536 % 256) + "." + std::to_string(n / 256 % 256) + "." +
                                std::to_string(n % 256);
            item->vncPort = "5900";
            item->vncPassword = password;
            item->scaling = "fsz"[n % 3];
            item->quickNote = note;
            item->lastConnectedTime = "2024-05-01  14:03:27";
            items.push_back(item);
        }
        std::vector<const HostItem*> hosts(items.begin(), items.end());
        std::string made = tnConfigSerialize(options, hosts);
        for (HostItem* item : items)
            delete item;
        return made;
    }();
    return text;
}

struct ParsedConfig {
    AppOptions options;
    std::vector<TNConfigLine> lines;
    std::vector<const HostItem*> hosts;

    explicit ParsedConfig(const std::string& text)
    {
        std::istringstream in(text);
        lines = tnConfigParse(in, options);
        for (const TNConfigLine& line : lines)
            if (line.item)
                hosts.push_back(line.item);
    }
    ~ParsedConfig()
    {
        for (const TNConfigLine& line : lines)
            delete line.item;
    }
};

void BM_ConfigParse65000Hosts(benchmark::State& state)
{
    const std::string& text = bigConfigText();
    size_t hosts = 0;
    for (auto _ : state) {
        AppOptions options;
        std::istringstream in(text);
        std::vector<TNConfigLine> lines = tnConfigParse(in, options);
        state.PauseTiming();
        hosts = 0;
        for (const TNConfigLine& line : lines) {
            hosts += line.item != nullptr;
            delete line.item;
        }
        state.ResumeTiming();
    }
    if (hosts != kHosts)
        state.SkipWithError("wrong number of hosts read");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
    state.counters["hosts"] = static_cast<double>(hosts);
    state.counters["file_MB"] = static_cast<double>(text.size()) / 1e6;
}
BENCHMARK(BM_ConfigParse65000Hosts)->Unit(benchmark::kMillisecond);

void BM_ConfigSerialize65000Hosts(benchmark::State& state)
{
    const ParsedConfig parsed(bigConfigText());
    size_t size = 0;
    for (auto _ : state) {
        std::string text = tnConfigSerialize(parsed.options, parsed.hosts);
        size = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    if (size != bigConfigText().size())
        state.SkipWithError("written text differs in size from the text read");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
}
BENCHMARK(BM_ConfigSerialize65000Hosts)->Unit(benchmark::kMillisecond);

// The whole save: text, temporary file, fsync, rename (depends on the file system under /tmp).
void BM_ConfigSave65000Hosts(benchmark::State& state)
{
    const ParsedConfig parsed(bigConfigText());
    char pattern[] = "/tmp/tandrel-bench-XXXXXX";
    if (!mkdtemp(pattern)) {
        state.SkipWithError("no temporary directory");
        return;
    }
    const std::string path = std::string(pattern) + "/tandrel-fltk.conf";
    for (auto _ : state) {
        if (!tnWriteFileAtomically(path, tnConfigSerialize(parsed.options, parsed.hosts)))
            state.SkipWithError("write failed");
    }
    unlink(path.c_str());
    rmdir(pattern);
}
BENCHMARK(BM_ConfigSave65000Hosts)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
