// The About/Help window and the main window's tooltips.
#pragma once

#include <string>

void tnSetAppTooltips();
void tnEnableDisableTooltips();
void tnShowAboutHelp();
// The help text shown in the About/Help window.
std::string tnAboutHelpText();
