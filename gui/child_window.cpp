#include "gui/child_window.h"

#include <FL/Fl.H>

#include "gui/main_window.h"

namespace {

// The window manager's close (and Escape with no other taker) closes the window.
void tnCloseThisChildWindow(Fl_Widget* window, void*)
{
    window->hide();
}

} // namespace

TNChildWindow::TNChildWindow(int x, int y, int w, int h, const char* title, void (*onClosed)())
    : Fl_Window(x, y, w, h), onClosed(onClosed)
{
    copy_label(title);
    set_modal();
    callback(tnCloseThisChildWindow);
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

int TNChildWindow::handle(int event)
{
    const int key = Fl::event_key();
    if ((event == FL_SHORTCUT || event == FL_KEYBOARD) && (key == FL_Enter || key == FL_KP_Enter) && enterButton_ &&
        enterButton_->active_r() && !Fl::event_state(FL_SHIFT | FL_CTRL | FL_ALT | FL_META)) {
        enterButton_->do_callback();
        return 1;
    }
    return Fl_Window::handle(event);
}

bool tnClaimChildWindow()
{
    if (app->childWindowVisible)
        return false;
    app->childWindowVisible = true;
    return true;
}
