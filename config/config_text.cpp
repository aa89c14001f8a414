// The configuration text: key/value lines, value conversions, the whole-file reader and writer.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <string_view>
#include <unordered_map>

#include "config/base64.h"
#include "config/config.h"
#include "config/host_item.h"
#include "core/options.h"
#include "core/version.h"

const char* const tnSeparatorFirst = " ";
const char* const tnSeparatorLater = "@C16@.\xC2\xB7 \xC2\xB7 \xC2\xB7";

namespace {

// Only this many bytes of a line are looked at for its key.
constexpr size_t kKeyScanLimit = 1024;
// Host entries beyond this count are dropped when reading.
constexpr size_t kMaxHostEntries = 65000;

std::string_view keyOf(const char* line)
{
    for (size_t i = 0; i < kKeyScanLimit; ++i) {
        const char c = line[i];
        if (c == '\0' || c == ' ' || c == '=')
            return std::string_view(line, i);
    }
    return std::string_view();
}

// Reads a number the way atoi does (leading blanks, a sign, digits up to the first
// non-digit, 0 when there are none), but clamps values outside int instead of wrapping.
int readInteger(const std::string& text)
{
    const long long value = strtoll(text.c_str(), nullptr, 10);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

uint8_t readLevel(const std::string& text)
{
    return tnConfigLevelFromText(text);
}

std::string decodeBase64Field(const std::string& text)
{
    return base64Decode(text);
}

void appendBase64Field(std::string& out, const std::string& field)
{
    out += base64Encode(reinterpret_cast<const unsigned char*>(field.data()), static_cast<unsigned int>(field.size()));
}

// A text value as it is, without line feeds: the file holds one key per line, so a line
// feed (pasted into a field) would cut the value short and turn its rest into further keys
// (a "host=" among them starting an entry of its own). The F12 macro skips them anyway.
void appendText(std::string& out, const std::string& value)
{
    for (char c : value) {
        if (c != '\n')
            out += c;
    }
}

void appendBoolean(std::string& out, bool value)
{
    out += value ? "true" : "false";
}

// One key of the file: its name, how a value read from the file is stored, and how the
// field is written. The tables below are in the order in which the keys are written.
template <class Record>
struct TNConfigKey {
    const char* name;
    void (*read)(Record&, const std::string&);
    void (*write)(const Record&, std::string&);
};

using TNAppKey = TNConfigKey<AppOptions>;
using TNHostKey = TNConfigKey<HostItem>;

const TNAppKey kAppKeys[] = {
    {"hostlistwidth",
     [](AppOptions& a, const std::string& v) {
         const int width = readInteger(v);
         a.hostListWidth = width < 11 ? 10 : width;
     },
     [](const AppOptions& a, std::string& out) { out += std::to_string(a.hostListWidth); }},
    {"colorblindicons", [](AppOptions& a, const std::string& v) { a.colorBlindIcons = tnConvertStringToBoolean(v); },
     [](const AppOptions& a, std::string& out) { appendBoolean(out, a.colorBlindIcons); }},
    {"scantimeout",
     [](AppOptions& a, const std::string& v) {
         const int seconds = readInteger(v);
         a.scanTimeout = seconds < 2 ? 1 : (seconds > tnMaxScanTimeout ? tnMaxScanTimeout : static_cast<uint16_t>(seconds));
     },
     [](const AppOptions& a, std::string& out) { out += std::to_string(static_cast<unsigned>(a.scanTimeout)); }},
    {"startinglocalport",
     [](AppOptions& a, const std::string& v) {
         const int port = readInteger(v);
         a.startingLocalPort = port <= 0 ? 15000 : (port > tnMaxStartingLocalPort ? tnMaxStartingLocalPort : port);
     },
     [](const AppOptions& a, std::string& out) { out += std::to_string(a.startingLocalPort); }},
    {"sshcommand", [](AppOptions& a, const std::string& v) { a.sshCommand = v.empty() ? "ssh" : v; },
     [](const AppOptions& a, std::string& out) { appendText(out, a.sshCommand); }},
    {"showtooltips", [](AppOptions& a, const std::string& v) { a.showTooltips = tnConvertStringToBoolean(v); },
     [](const AppOptions& a, std::string& out) { appendBoolean(out, a.showTooltips); }},
    {"logtofile", [](AppOptions& a, const std::string& v) { a.logToFile = tnConvertStringToBoolean(v); },
     [](const AppOptions& a, std::string& out) { appendBoolean(out, a.logToFile); }},
    {"debugmode", [](AppOptions& a, const std::string& v) { a.debugMode = tnConvertStringToBoolean(v); },
     [](const AppOptions& a, std::string& out) { appendBoolean(out, a.debugMode); }},
    {"showreverseconnect",
     [](AppOptions& a, const std::string& v) { a.showReverseConnect = tnConvertStringToBoolean(v); },
     [](const AppOptions& a, std::string& out) { appendBoolean(out, a.showReverseConnect); }},
    {"appfontsize",
     [](AppOptions& a, const std::string& v) {
         const int size = readInteger(v);
         a.appFontSize = size <= 0 ? 12 : size;
     },
     [](const AppOptions& a, std::string& out) { out += std::to_string(a.appFontSize); }},
    {"listfont",
     [](AppOptions& a, const std::string& v) {
         if (!v.empty())
             a.listFont = v;
     },
     [](const AppOptions& a, std::string& out) { appendText(out, a.listFont); }},
    {"listfontsize",
     [](AppOptions& a, const std::string& v) {
         const int size = readInteger(v);
         a.listFontSize = size <= 0 ? 12 : size;
     },
     [](const AppOptions& a, std::string& out) { out += std::to_string(a.listFontSize); }},
    {"savedx",
     [](AppOptions& a, const std::string& v) {
         const int x = readInteger(v);
         a.savedX = x <= 0 ? 0 : x;
     },
     [](const AppOptions& a, std::string& out) { out += std::to_string(a.savedX); }},
    {"savedy",
     [](AppOptions& a, const std::string& v) {
         const int y = readInteger(v);
         a.savedY = y <= 0 ? 0 : y;
     },
     [](const AppOptions& a, std::string& out) { out += std::to_string(a.savedY); }},
    {"savedw",
     [](AppOptions& a, const std::string& v) {
         const int w = readInteger(v);
         a.savedW = w <= 0 ? 800 : w;
     },
     [](const AppOptions& a, std::string& out) { out += std::to_string(a.savedW); }},
    {"savedh",
     [](AppOptions& a, const std::string& v) {
         const int h = readInteger(v);
         a.savedH = h <= 0 ? 600 : h;
     },
     [](const AppOptions& a, std::string& out) { out += std::to_string(a.savedH); }},
    // Keys added later come after the ones above, so older files keep their order.
    {"sendmiddlebutton", [](AppOptions& a, const std::string& v) { a.sendMiddleButton = tnConvertStringToBoolean(v); },
     [](const AppOptions& a, std::string& out) { appendBoolean(out, a.sendMiddleButton); }},
    {"reverselocalonly", [](AppOptions& a, const std::string& v) { a.reverseLocalOnly = tnConvertStringToBoolean(v); },
     [](const AppOptions& a, std::string& out) { appendBoolean(out, a.reverseLocalOnly); }},
    {"passwordsinkeyring",
     [](AppOptions& a, const std::string& v) { a.passwordsInKeyring = tnConvertStringToBoolean(v); },
     [](const AppOptions& a, std::string& out) { appendBoolean(out, a.passwordsInKeyring); }},
    {"reconnectdropped", [](AppOptions& a, const std::string& v) { a.reconnectDropped = tnConvertStringToBoolean(v); },
     [](const AppOptions& a, std::string& out) { appendBoolean(out, a.reconnectDropped); }},
    {"overviewrefresh",
     [](AppOptions& a, const std::string& v) { a.overviewRefresh = tnOverviewRefreshFromText(v, tnDefaultOverviewRefresh); },
     [](const AppOptions& a, std::string& out) { out += tnOverviewRefreshText(a.overviewRefresh); }},
};

// `host` and `group` are also handled by the reader itself (new entry, group separators).
const TNHostKey kHostKeys[] = {
    {"host", [](HostItem& h, const std::string& v) { h.name = v; },
     [](const HostItem& h, std::string& out) { appendText(out, h.name); }},
    {"group", [](HostItem& h, const std::string& v) { h.group = v; },
     [](const HostItem& h, std::string& out) { appendText(out, h.group); }},
    {"hostaddress", [](HostItem& h, const std::string& v) { h.hostAddress = v; },
     [](const HostItem& h, std::string& out) { appendText(out, h.hostAddress); }},
    {"vncport", [](HostItem& h, const std::string& v) { h.vncPort = v; },
     [](const HostItem& h, std::string& out) { appendText(out, h.vncPort); }},
    {"sshport", [](HostItem& h, const std::string& v) { h.sshPort = v; },
     [](const HostItem& h, std::string& out) { appendText(out, h.sshPort); }},
    {"vncpass", [](HostItem& h, const std::string& v) { h.vncPassword = decodeBase64Field(v); },
     [](const HostItem& h, std::string& out) { appendBase64Field(out, h.vncPassword); }},
    {"vncloginuser", [](HostItem& h, const std::string& v) { h.vncLoginUser = v; },
     [](const HostItem& h, std::string& out) { appendText(out, h.vncLoginUser); }},
    {"vncloginpass", [](HostItem& h, const std::string& v) { h.vncLoginPassword = decodeBase64Field(v); },
     [](const HostItem& h, std::string& out) { appendBase64Field(out, h.vncLoginPassword); }},
    {"type",
     [](HostItem& h, const std::string& v) {
         if (v == "s")
             h.hostType = 's';
     },
     [](const HostItem& h, std::string& out) { out += h.hostType; }},
    {"sshkeyprivate", [](HostItem& h, const std::string& v) { h.sshKeyPrivate = v; },
     [](const HostItem& h, std::string& out) { appendText(out, h.sshKeyPrivate); }},
    {"sshuser", [](HostItem& h, const std::string& v) { h.sshUser = v; },
     [](const HostItem& h, std::string& out) { appendText(out, h.sshUser); }},
    {"scale",
     [](HostItem& h, const std::string& v) {
         if (v == "z" || v == "s" || v == "f")
             h.scaling = v[0];
     },
     [](const HostItem& h, std::string& out) { out += h.scaling; }},
    {"scalefast", [](HostItem& h, const std::string& v) { h.scalingFast = tnConvertStringToBoolean(v); },
     [](const HostItem& h, std::string& out) { appendBoolean(out, h.scalingFast); }},
    {"f12macro", [](HostItem& h, const std::string& v) { h.f12Macro = v; },
     [](const HostItem& h, std::string& out) { appendText(out, h.f12Macro); }},
    {"showremotecursor", [](HostItem& h, const std::string& v) { h.showRemoteCursor = tnConvertStringToBoolean(v); },
     [](const HostItem& h, std::string& out) { appendBoolean(out, h.showRemoteCursor); }},
    {"compression", [](HostItem& h, const std::string& v) { h.compressLevel = readLevel(v); },
     [](const HostItem& h, std::string& out) { out += std::to_string(static_cast<unsigned>(h.compressLevel)); }},
    {"quality", [](HostItem& h, const std::string& v) { h.qualityLevel = readLevel(v); },
     [](const HostItem& h, std::string& out) { out += std::to_string(static_cast<unsigned>(h.qualityLevel)); }},
    {"quicknote", [](HostItem& h, const std::string& v) { h.quickNote = decodeBase64Field(v); },
     [](const HostItem& h, std::string& out) { appendBase64Field(out, h.quickNote); }},
    {"lastconnecttime", [](HostItem& h, const std::string& v) { h.lastConnectedTime = v; },
     [](const HostItem& h, std::string& out) { appendText(out, h.lastConnectedTime); }},
    {"customcommand1enabled",
     [](HostItem& h, const std::string& v) { h.customCommand1Enabled = tnConvertStringToBoolean(v); },
     [](const HostItem& h, std::string& out) { appendBoolean(out, h.customCommand1Enabled); }},
    {"customcommand1label", [](HostItem& h, const std::string& v) { h.customCommand1Label = v; },
     [](const HostItem& h, std::string& out) { appendText(out, h.customCommand1Label); }},
    {"customcommand1", [](HostItem& h, const std::string& v) { h.customCommand1 = v; },
     [](const HostItem& h, std::string& out) { appendText(out, h.customCommand1); }},
    {"customcommand2enabled",
     [](HostItem& h, const std::string& v) { h.customCommand2Enabled = tnConvertStringToBoolean(v); },
     [](const HostItem& h, std::string& out) { appendBoolean(out, h.customCommand2Enabled); }},
    {"customcommand2label", [](HostItem& h, const std::string& v) { h.customCommand2Label = v; },
     [](const HostItem& h, std::string& out) { appendText(out, h.customCommand2Label); }},
    {"customcommand2", [](HostItem& h, const std::string& v) { h.customCommand2 = v; },
     [](const HostItem& h, std::string& out) { appendText(out, h.customCommand2); }},
    {"customcommand3enabled",
     [](HostItem& h, const std::string& v) { h.customCommand3Enabled = tnConvertStringToBoolean(v); },
     [](const HostItem& h, std::string& out) { appendBoolean(out, h.customCommand3Enabled); }},
    {"customcommand3label", [](HostItem& h, const std::string& v) { h.customCommand3Label = v; },
     [](const HostItem& h, std::string& out) { appendText(out, h.customCommand3Label); }},
    {"customcommand3", [](HostItem& h, const std::string& v) { h.customCommand3 = v; },
     [](const HostItem& h, std::string& out) { appendText(out, h.customCommand3); }},
};

// Where a key of the file goes: an application option or a host field (index into its table).
struct TNKeyTarget {
    bool isHostKey;
    size_t index;
};

const std::unordered_map<std::string_view, TNKeyTarget>& keyTargets()
{
    static const std::unordered_map<std::string_view, TNKeyTarget> targets = [] {
        std::unordered_map<std::string_view, TNKeyTarget> made;
        for (size_t i = 0; i < sizeof(kAppKeys) / sizeof(kAppKeys[0]); ++i)
            made.emplace(kAppKeys[i].name, TNKeyTarget{false, i});
        for (size_t i = 0; i < sizeof(kHostKeys) / sizeof(kHostKeys[0]); ++i)
            made.emplace(kHostKeys[i].name, TNKeyTarget{true, i});
        return made;
    }();
    return targets;
}

const char kFileHeader[] =
    "# Tandrel-FLTK config file\n"
    "# Generated by program version " TN_VERSION "\n"
    "#\n"
    "# option names / properties should always be lower-case without spaces\n"
    "# host type can be 'v' for vnc and 's' for vnc through ssh\n"
    "# scale can be 's' for scrolled, 'z' for scale up/down and 'f' for scale down only\n"
    "\n"
    "# program options\n";

} // namespace

int tnIntegerFromText(const std::string& text)
{
    return readInteger(text);
}

int tnSpinnerValueFromText(const std::string& text, int min, int max, int current)
{
    const char* start = text.c_str();
    char* end = nullptr;
    const double value = strtod(start, &end);
    if (end == start || std::isnan(value))
        return current;
    if (value <= min)
        return min;
    if (value >= max)
        return max;
    return static_cast<int>(std::trunc(value));
}

double tnOverviewRefreshFromText(const std::string& text, double current)
{
    size_t start = 0;
    while (start < text.size() && (text[start] == ' ' || text[start] == '\t'))
        ++start;
    double value = 0;
    const char* first = text.data() + start;
    const auto read = std::from_chars(first, text.data() + text.size(), value);
    if (read.ec != std::errc() || std::isnan(value))
        return current;
    const double tenths = std::round(std::clamp(value, tnMinOverviewRefresh, tnMaxOverviewRefresh) * 10);
    return tenths / 10;
}

std::string tnOverviewRefreshText(double perSecond)
{
    const long tenths = std::lround(std::clamp(perSecond, tnMinOverviewRefresh, tnMaxOverviewRefresh) * 10);
    std::string text = std::to_string(tenths / 10);
    if (tenths % 10)
        text += "." + std::to_string(tenths % 10);
    return text;
}

uint8_t tnConfigLevelFromText(const std::string& text)
{
    const uint8_t level = static_cast<uint8_t>(static_cast<unsigned>(readInteger(text)) & 0xffu);
    return level > 9 ? 9 : level;
}

std::string tnGetConfigProperty(const char* line)
{
    return std::string(keyOf(line));
}

std::string tnGetConfigValue(const char* line)
{
    const char* equals = strchr(line, '=');
    return equals ? std::string(equals + 1) : std::string();
}

bool tnConvertStringToBoolean(const std::string& text)
{
    std::string lower = text;
    for (char& c : lower)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return lower == "1" || lower == "on" || lower == "yes" || lower == "true";
}

std::string tnConvertBooleanToString(bool value)
{
    return value ? "true" : "false";
}

std::vector<TNConfigLine> tnConfigParse(std::istream& in, AppOptions& options)
{
    std::vector<TNConfigLine> lines;
    HostItem* current = nullptr;
    size_t entryCount = 0;
    std::string currentGroup;
    bool groupChangeSeen = false;

    // An entry joins the list when the next entry starts or the text ends.
    auto finishEntry = [&] {
        if (!current)
            return;
        if (entryCount < kMaxHostEntries) {
            lines.push_back({current->name, current});
            ++entryCount;
        } else {
            delete current;
        }
        current = nullptr;
    };

    const auto& targets = keyTargets();
    std::string line;
    // getline also returns a last line that has no line feed after it.
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        const auto found = targets.find(keyOf(line.c_str()));
        if (found == targets.end())
            continue;
        const std::string value = tnGetConfigValue(line.c_str());
        const TNKeyTarget target = found->second;
        if (!target.isHostKey) {
            kAppKeys[target.index].read(options, value);
            continue;
        }
        const std::string_view key = kHostKeys[target.index].name;
        if (key == "host") {
            finishEntry();
            current = new HostItem();
            current->name = value;
            continue;
        }
        // Host keys before the first entry have nowhere to go.
        if (!current)
            continue;
        if (key == "group" && value != currentGroup) {
            lines.push_back({groupChangeSeen ? tnSeparatorLater : tnSeparatorFirst, nullptr});
            groupChangeSeen = true;
            currentGroup = value;
        }
        kHostKeys[target.index].read(*current, value);
    }
    finishEntry();
    if (groupChangeSeen)
        lines.push_back({tnSeparatorLater, nullptr});
    return lines;
}

std::string tnConfigSerialize(const AppOptions& options, const std::vector<const HostItem*>& hosts)
{
    std::string out;
    out.reserve(1024 + hosts.size() * 640);
    out += kFileHeader;
    for (const TNAppKey& key : kAppKeys) {
        out += key.name;
        out += '=';
        key.write(options, out);
        out += '\n';
    }
    out += "\n# host-list entries\n";
    for (const HostItem* host : hosts) {
        if (!host || host->isListener)
            continue;
        for (const TNHostKey& key : kHostKeys) {
            out += key.name;
            out += '=';
            key.write(*host, out);
            out += '\n';
        }
        out += '\n';
    }
    out += '\n';
    return out;
}
