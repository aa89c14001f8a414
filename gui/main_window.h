// The main window: construction, images and layout.
#pragma once

void tnCreateGUI();
// Makes iconApp, the six status icons and the eight button images; with false every
// host line's icon is reset to iconDisconnected.
void tnCreateAppIcons(bool keepLineIcons);
void tnPositionWidgets();
// Lays the window out for its current size (the window does this itself whenever its size
// changes): the left column keeps its widths and the button strip its height at the bottom,
// the host list takes up the change of height, and the viewer area and the shown connection
// take the rest of the window.
void tnLayOutMainWindow();

class Fl_Widget;
class Fl_Window;

// After the window has appeared: puts it where it was when the program last ended.
void tnRestoreWindowSizePosition(void*);
// Shut-down steps 1-5 (flag, end connections, log, geometry, write the file).
void tnPrepareShutDown();
// The shut-down, then the program ends at once with exit status `status` (main thread).
void tnShutDownAndExit(int status);
// The main window's callback: a close request ends the program.
void tnHandleMainWindowEvents(Fl_Widget*, void*);
// The toolkit's event dispatch (installed with Fl::event_dispatch at start-up): the paste
// gestures of text inputs go through the program's own clipboard reader, drops are
// refused, and a close
// request for the main window ends the program even while a child window or message box
// is open (the toolkit drops events for other windows while one is modal); the child
// window is closed as its Cancel would close it.
int tnDispatchEvent(int event, Fl_Window* window);
// Callback of a child window's close button and of the window itself: hides it.
void tnCloseChildWindow(Fl_Widget*, void* window);
