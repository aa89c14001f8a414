// The event log and time stamps.
#pragma once

#include <string>

void tnLogToFile(const std::string& message);
void tnDebugLog(const std::string& message);
// forLog: "%Y-%m-%d--%H:%M:%S"; otherwise "%Y-%m-%d  %H:%M:%S".
std::string tnMakeTimeStamp(bool forLog);
// The log file's path: configPath formatted with "%s/tandrel-fltk.log".
std::string tnLogFilePath();
// One log line as written: stamp + "- " + the message without its trailing line breaks, its
// control characters escaped and cut at the longest entry (core/log_text.h), + "\n".
std::string tnFormatLogLine(const std::string& stamp, const std::string& message);
