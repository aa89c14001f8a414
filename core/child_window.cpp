#include "core/child_window.h"

#include <FL/Fl.H>

#include "core/app.h"

TNChildWindow::TNChildWindow(int x, int y, int w, int h, const char* title, void (*onClosed)())
    : Fl_Window(x, y, w, h), onClosed(onClosed)
{
    copy_label(title);
    set_modal();
    callback(tnCloseChildWindow, this);
    app->childWindow = this;
}

void TNChildWindow::hide()
{
    Fl_Window::hide();
    if (isClosed)
        return;
    isClosed = true;
    if (app->childWindow == this) {
        app->childWindow = nullptr;
        app->itmBeingEdited = nullptr;
        app->childWindowVisible = false;
    }
    if (onClosed)
        onClosed();
    Fl::delete_widget(this);
}

bool tnClaimChildWindow()
{
    if (app->childWindowVisible)
        return false;
    app->childWindowVisible = true;
    return true;
}
