// The configuration file: application options and the host list.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

struct AppOptions;
class HostItem;

// The two separator texts of the host list.
extern const char* const tnSeparatorFirst;   // " "
extern const char* const tnSeparatorLater;   // "@C16@.· · ·"

// One host-list line as the reader produces it: a host (item set) or a separator (item null).
struct TNConfigLine {
    std::string text;
    HostItem* item = nullptr;
};

// Upper bounds of two options: the scan wait is a 16-bit number of seconds, and a tunnel
// searches 99 ports from the starting one, which must all be TCP ports.
constexpr int tnMaxScanTimeout = 65535;
constexpr int tnMaxStartingLocalPort = 65436;
// The overview's refresh rate (updates a second) and its default.
constexpr double tnMinOverviewRefresh = 0.2;
constexpr double tnMaxOverviewRefresh = 10.0;
constexpr double tnDefaultOverviewRefresh = 1.0;

// --- Pure text functions (no widgets) ---
// A compression or quality level typed or stored as text: read as atoi reads it, its low
// 8 bits, then at most 9 ("12" 9, "256" 0, "-1" 9, " 7" 7, no digits 0).
uint8_t tnConfigLevelFromText(const std::string& text);
// A whole number typed or stored as text, read as atoi reads it (no digits give 0), kept
// within int.
int tnIntegerFromText(const std::string& text);
// The value of a number field with a range (a spinner) whose text is `text`: the number
// read from its start, truncated toward zero and kept within [min, max]; `current` when
// the text holds no number.
int tnSpinnerValueFromText(const std::string& text, int min, int max, int current);
// The overview refresh rate typed or stored as text: a decimal number (a point, never the
// locale's comma) rounded to tenths and kept within its range; `current` when the text
// holds no number.
double tnOverviewRefreshFromText(const std::string& text, double current);
// The rate as the file stores it: "1", "0.5", "2.5".
std::string tnOverviewRefreshText(double perSecond);
std::string tnGetConfigProperty(const char* line);
std::string tnGetConfigValue(const char* line);
bool tnConvertStringToBoolean(const std::string& text);
std::string tnConvertBooleanToString(bool value);

// Reads a whole configuration text: applies application keys to `options` and returns
// the host-list lines (new HostItems, separators) in order.
std::vector<TNConfigLine> tnConfigParse(std::istream& in, AppOptions& options);
// The whole file text for the given options and hosts (listening items are skipped).
std::string tnConfigSerialize(const AppOptions& options, const std::vector<const HostItem*>& hosts);
// Writes `text` to `path` safely: temporary file in the same directory (mode 0600),
// fsync, rename over the old file. Returns false (old file untouched) on any failure,
// also when an existing file at `path` may not be written by this process or is not a
// regular file; `reason` (when given) then says why.
bool tnWriteFileAtomically(const std::string& path, const std::string& text, std::string* reason = nullptr);

enum class TNConfigReadStatus { Read, Missing, Failed };
struct TNConfigFileText {
    TNConfigReadStatus status = TNConfigReadStatus::Read;
    std::string text;    // the whole file when it was read
    std::string reason;  // why it was not
};
// Reads the whole file at `path`. Only a regular file is read; anything else in its place
// (a FIFO, a directory, a device) fails at once, without waiting. "Missing" is only the
// case of no file at all (ENOENT).
TNConfigFileText tnReadConfigFile(const std::string& path);

// Makes the configuration directory (appOptions.configPath, mode 0700) when it is missing;
// returns why it could not, or "".
std::string tnConfigCreateNewDir();
