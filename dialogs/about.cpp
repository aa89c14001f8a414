#include "dialogs/about.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Help_View.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Multiline_Output.H>
#include <FL/Fl_Window.H>

#include "gui/main_window.h"
#include "gui/child_window.h"
#include "core/install_dirs.h"
#include "core/options.h"
#include "core/version.h"
#include "gui/main_window.h"
#include "gui/quick_info.h"

void tnSetAppTooltips()
{
    app->btnAdd->tooltip("Add a new connection");
    app->btnDelete->tooltip("Delete current connection");
    app->btnUp->tooltip("Move current connection item up in list");
    app->btnDown->tooltip("Move current connection item down in list");
    app->btnScan->tooltip("Scan through connected items in list");
    app->btnListen->tooltip("Listen for incoming VNC connections");
    app->btnHelp->tooltip("View About and Help information");
    app->btnOptions->tooltip("View / edit app options");
    app->btnOverview->tooltip("Overview of all connected hosts");
    app->hostList->tooltip("Double-click a disconnected item to connect to it\n\n"
                           "Right-click a connected item to disconnect from it\n\n"
                           "Right-click a disconnected item to connect, edit or delete it");
    app->quickInfoName->tooltip("The current item's name");
    app->quickInfoLastConnected->tooltip("The last time this connection was successfully made");
    app->quickInfoLastError->tooltip("The last error when trying to connect to the current item");
    app->quickNoteBox->tooltip("Click here to enter a brief note about the current item");
    tnEnableDisableTooltips();
}

void tnEnableDisableTooltips()
{
    Fl::option(Fl::OPTION_SHOW_TOOLTIPS, appOptions.showTooltips);
}

std::string tnAboutHelpText()
{
    static const char* const instructions[] = {
        "To add a new connection, click the [+] button",
        "To delete a connection, single-click it then click the [-] button",
        "To connect a connection, double-click it",
        "To disconnect a normal connection, right-click it while connected",
        ("To Connect, Edit, Delete, or 'copy' the F12 macro of a connection, right-click the connection when "
         "not connected"),
        "To scan automatically through all connected viewers, click the 'clock' button",
        "To 'listen' for an incoming VNC connection, click the 'ear' button",
        "To disconnect, edit or 'paste' a F12 macro to a 'listening' connection, right-click it while connected",
        "To change application options, click the settings button (looks like three control sliders)",
        "To perform remote actions, press F8 when a remote host is being displayed",
        "See the README file for more detailed instructions",
    };
    const char* const bullet = "&nbsp;\xE2\x80\xA2&nbsp;";
    const char* const divider = "<p align=\"center\"><font color=\"#808080\">- - -</font></p>";

    std::string html;
    html += "<html><body>";
    html += "<center><h5><font face=\"sans\">Tandrel - FLTK</font></h5></center>";
    // No web address: the project has none, and a link that leads nowhere is worse than none.
    html += "<p align=\"center\">Copyright &copy; 2024-2026 the Tandrel developers</p>";
    html += std::string("<p align=\"center\">Version " TN_VERSION) + bullet + "Built " + __DATE__ + bullet + __TIME__ +
            "</p>";
    html += "<p align=\"center\">Tandrel is a multi-viewer VNC client for *nix systems based on FLTK.  "
            "Tandrel features VNC-through-SSH, reverse VNC (listening) connections and automatic timed "
            "scanning of each connected viewer.</p>";
    html += divider;
    html += "<p align=\"center\"><b>Instructions</b><br></p><ul>";
    for (const char* item : instructions)
        html += std::string("<li>") + item + "</li>";
    html += "</ul>";
    html += divider;
    html += "<p align=\"center\">Many thanks to the <em>FLTK</em> and <em>libvncserver</em> projects for their "
            "libraries and example code.</p>";
    html += "<p align=\"center\">Every window, key, file and option is described in the manual page "
            "(<tt>man tandrel</tt>) and in the README, installed as <tt>" TN_DOC_DIR "/README.md</tt>.</p>";
    html += "<p align=\"center\"><b>Happy remote viewing!</b></p>";
    html += "</body></html>";
    return html;
}

void tnShowAboutHelp()
{
    if (!tnClaimChildWindow())
        return;

    Fl_Group::current(nullptr);
    Fl_Window* window = new TNChildWindow(app->w() / 2 - 382, app->h() / 2 - 297, 765, 595,
                                          "About Tandrel-FLTK / Help", nullptr);

    Fl_Help_View* view = new Fl_Help_View(10, 10, 745, 525);
    view->color(FL_BACKGROUND2_COLOR);
    view->textsize(appOptions.appFontSize);
    view->textfont(FL_HELVETICA);
    view->value(tnAboutHelpText().c_str());

    Fl_Button* ok = new Fl_Button(655, 550, 100, 35, "OK");
    ok->box(FL_GTK_UP_BOX);
    ok->shortcut(FL_Escape);
    ok->callback(tnCloseChildWindow, window);

    window->end();
    window->show();
    Fl::redraw();
}
