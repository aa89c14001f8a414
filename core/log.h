// The event log and time stamps.
#pragma once

#include <string>

void tnLogToFile(const std::string& message);
void tnDebugLog(const std::string& message);
// forLog: "%Y-%m-%d--%H:%M:%S"; otherwise "%Y-%m-%d  %H:%M:%S".
std::string tnMakeTimeStamp(bool forLog);
// The log file's path: configPath formatted with "%s/tandrel-fltk.log".
std::string tnLogFilePath();
// One log line as written: stamp + "- " + message, plus "\n" unless the message holds one.
std::string tnFormatLogLine(const std::string& stamp, const std::string& message);
