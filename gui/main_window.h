// The main window: construction, images and layout.
#pragma once

void tnCreateGUI();
// Makes iconApp, the six status icons and the eight button images; with false every
// host line's icon is reset to iconDisconnected.
void tnCreateAppIcons(bool keepLineIcons);
void tnPositionWidgets();
