#include "dialogs/remote_actions.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Window.H>

#include "core/app.h"
#include "viewer/remote_input.h"
#include "viewer/vnc_viewer.h"

F8Opts f8Opts;

namespace {

// Closes the window however that is asked for (a button, Escape, the window manager):
// hidden, then destroyed once the toolkit is done with the event, and no child window
// counted as open any more.
void tnCloseF8Window(Fl_Window* window)
{
    if (app->childWindow == window)
        app->childWindow = nullptr;
    app->childWindowVisible = false;
    f8Opts = F8Opts();
    if (window) {
        window->hide();
        Fl::delete_widget(window);
    }
}

// The window's own callback: the window manager's close button, or Escape.
void tnHandleF8WindowClose(Fl_Widget* window, void*)
{
    tnCloseF8Window(static_cast<Fl_Window*>(window));
}

Fl_Button* tnAddF8Button(int x, int y, int w, const char* label, const char* tooltip)
{
    Fl_Button* button = new Fl_Button(x, y, w, 35, label);
    button->box(FL_GTK_UP_BOX);
    button->callback(tnHandleF8Buttons);
    button->tooltip(tooltip);
    return button;
}

} // namespace

void tnShowF8Window()
{
    if (app->childWindowVisible)
        return;
    app->childWindowVisible = true;

    Fl_Group::current(nullptr);
    Fl_Window* window =
        new Fl_Window(app->mainWin->w() / 2 - 115, app->mainWin->h() / 2 - 167, 230, 335, "Remote host actions");
    window->set_modal();
    window->callback(tnHandleF8WindowClose);
    app->childWindow = window;

    f8Opts.btnCtrlAltDel = tnAddF8Button(15, 19, 200, "Send Ctrl+Alt+Del",
                                         "Click to send Ctrl+Alt+Delete to the current remote host");
    f8Opts.btnCtrlShiftEsc = tnAddF8Button(15, 57, 200, "Send Ctrl+Shift+Esc",
                                           "Click to send Ctrl+Shift+Escape to the current remote host");
    f8Opts.btnRefresh = tnAddF8Button(15, 95, 200, "Send refresh request",
                                      "Click to send a screen refresh request to the current remote host");
    f8Opts.btnF8 = tnAddF8Button(15, 133, 200, "Send F8", "Click to press the F8 key on the current remote host");
    f8Opts.btnF11 = tnAddF8Button(15, 171, 200, "Send F11", "Click to press the F11 key on the current remote host");
    f8Opts.btnF12 = tnAddF8Button(15, 209, 200, "Send F12", "Click to press the F12 key on the current remote host");
    f8Opts.btnClose = tnAddF8Button(120, 290, 100, "Close", "Click to close this window");
    f8Opts.btnClose->shortcut(FL_Escape);

    window->end();
    window->show();
    f8Opts.btnCtrlAltDel->take_focus();
    Fl::redraw();
}

void tnHandleF8Buttons(Fl_Widget* button, void*)
{
    if (!button)
        return;
    if (app->childWindow) {
        VncObject* shown = app->vncViewer ? app->vncViewer->vnc : nullptr;
        const struct {
            Fl_Button* button;
            TNRemoteAction action;
        } actions[] = {
            {f8Opts.btnCtrlAltDel, TNRemoteAction::CtrlAltDel}, {f8Opts.btnCtrlShiftEsc, TNRemoteAction::CtrlShiftEsc},
            {f8Opts.btnRefresh, TNRemoteAction::Refresh},       {f8Opts.btnF8, TNRemoteAction::F8},
            {f8Opts.btnF11, TNRemoteAction::F11},               {f8Opts.btnF12, TNRemoteAction::F12},
        };
        for (const auto& entry : actions) {
            if (shown && entry.button == button)
                tnSendRemoteAction(entry.action, shown);
        }
        Fl::redraw();
    }
    tnCloseF8Window(button->window());
}
