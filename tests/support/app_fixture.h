// In-process start of the real program state for widget and connection tests.
#pragma once

#include <functional>
#include <string>

// A new empty directory under /tmp (removed by tnTestRemoveDir).
std::string tnTestMakeTempDir();
void tnTestRemoveDir(const std::string& dir);

// Replaces `app` with a fresh state whose configuration lives in `configDir` (with a
// trailing slash added if missing), hides the previous main window and clears the
// modal-box hooks. Does not build any widget.
void tnTestFreshApp(const std::string& configDir);

// tnTestFreshApp, optionally writes `configText` as the configuration file, then runs
// the real start-up (tnStartUp) and lets the window appear.
void tnTestStartApp(const std::string& configDir, const std::string* configText = nullptr);

// Processes toolkit events for about `seconds` (bounded).
void tnTestPump(double seconds);

// Processes events until `done` returns true or `timeoutSeconds` pass; returns done().
template <class F>
bool tnTestPumpUntil(F done, double timeoutSeconds);

// Reads a whole file ("" when missing).
std::string tnTestReadFile(const std::string& path);
void tnTestWriteFile(const std::string& path, const std::string& text);

// Runs `step` with files limited to `bytes` (a disk that fills up, for root as well) and
// returns what it wrote to standard output.
std::string tnTestWithFileSizeLimit(long bytes, const std::function<void()>& step);

#include "app_fixture_impl.h"
