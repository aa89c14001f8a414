#include "dialogs/remote_actions.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Window.H>

#include "gui/main_window.h"
#include "gui/child_window.h"
#include "viewer/remote_input.h"
#include "viewer/vnc_viewer.h"

F8Opts f8Opts;

namespace {

// The window forgets its widgets when it closes (however that is asked for).
void tnForgetF8Widgets()
{
    f8Opts = F8Opts();
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
    if (!tnClaimChildWindow())
        return;
    Fl_Group::current(nullptr);
    // Closed by any way (a button, Escape, the window manager), it is destroyed.
    new TNChildWindow(app->w() / 2 - 115, app->h() / 2 - 167, 230, 335, "Remote host actions",
                      tnForgetF8Widgets);
    Fl_Window* window = app->childWindow;

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
    if (Fl_Window* window = button->window())
        window->hide();
}
