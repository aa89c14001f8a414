#include "gui/main_window.h"

#include <vector>

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Browser.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Image.H>
#include <FL/Fl_Multiline_Output.H>
#include <FL/Fl_Pack.H>
#include <FL/Fl_Pixmap.H>
#include <FL/Fl_Scroll.H>
#include <FL/Fl_Window.H>

#include <unistd.h>

#include <algorithm>
#include <vector>

#include "connection/vnc_object.h"
#include "core/log.h"
#include "core/options.h"
#include "gui/config_io.h"
#include "gui/host_list.h"
#include "gui/inputs.h"
#include "gui/overview.h"
#include "gui/pixmaps/app_icon.h"
#include "gui/pixmaps/list_buttons.h"
#include "gui/pixmaps/status_icons.h"
#include "gui/quick_info.h"
#include "gui/window_layout.h"
#include "viewer/layout.h"
#include "viewer/vnc_viewer.h"

namespace {

const Fl_Color tnPanelTextColor = fl_rgb_color(25, 25, 25);

Fl_Button* tnCreateListButton()
{
    // Nine 18-pixel buttons fit the narrowest host list (170 pixels).
    Fl_Button* button = new Fl_Button(0, 0, 18, 20);
    button->clear_visible_focus();
    button->callback(tnHandleHostListButtons);
    return button;
}

// The quick-info panel's text sizes follow appFontSize. The widgets are built before the
// configuration file is read, so the sizes are applied again on every layout pass; a row
// grows when its text would no longer fit.
void tnApplyPanelFontSizes()
{
    const int size = appOptions.appFontSize;
    app->quickInfoName->labelsize(size + 2);
    app->quickInfoLastConnectedLabel->labelsize(size + 1);
    app->quickInfoLastConnected->labelsize(size + 1);
    for (Fl_Box* row : {app->quickInfoName, app->quickInfoLastConnectedLabel, app->quickInfoLastConnected})
        row->size(row->w(), std::max(18, row->labelsize() + 6));
    // Two lines: the longest text wraps once in the narrowest panel.
    app->quickInfoSecurity->labelsize(size + 1);
    app->quickInfoSecurity->size(app->quickInfoSecurity->w(), 2 * (size + 1) + 8);
    app->quickInfoLastError->textsize(size + 1);
    app->quickNoteBox->textsize(size + 2);
    if (app->quickNoteInput)
        app->quickNoteInput->textsize(size + 2);
}

// Stacks the panel's rows from the top of its place; the note box gets the rest of the room.
// The note editor lies over the note box, so it moves (and is sized) with it.
void tnLayOutQuickInfoPanel(const TNRect& place)
{
    Fl_Pack* pack = app->quickInfoPack;
    pack->resize(place.x, place.y, place.w, std::max(1, place.h));
    int y = pack->y();
    for (int i = 0; i < pack->children(); i++) {
        Fl_Widget* row = pack->child(i);
        const int rowHeight = row == app->quickNoteBox ? std::max(0, pack->y() + pack->h() - y) : row->h();
        row->resize(pack->x(), y, pack->w(), rowHeight);
        y += rowHeight;
    }
    pack->init_sizes();
    if (app->quickNotePack) {
        const TNQuickNoteBox* box = app->quickNoteBox;
        app->quickNotePack->resize(box->x(), box->y(), box->w(), std::max(1, box->h() - 3));
        app->quickNoteInput->resize(box->x(), box->y(), box->w(), app->quickNotePack->h());
    }
}

} // namespace

TNMainWindow* app = nullptr;

void tnCreateGUI()
{
    if (app)
        return;
    // A window made while another group is open would become that group's child.
    Fl_Group::current(nullptr);
    new TNMainWindow();
}

TNMainWindow::TNMainWindow() : Fl_Double_Window(1024, 768, "Tandrel")
{
    // The panel's parts reach the window through the pointer while it is being built.
    app = this;
    size_range(800, 600, 32767, 32767);
    xclass("tandrelfltk");
    callback(tnHandleMainWindowEvents);
    begin();

    hostList = new Fl_Hold_Browser(0, 0, 163, 548);
    hostList->box(FL_THIN_DOWN_BOX);
    hostList->clear_visible_focus();
    hostList->callback(tnHandleHostListEvents);

    const int size = appOptions.appFontSize;
    quickInfoPack = new Fl_Pack(0, 551, 163, 197);
    quickInfoPack->type(Fl_Pack::VERTICAL);

    quickInfoName = new Fl_Box(0, 0, 163, 18);
    quickInfoName->labelfont(FL_HELVETICA);
    quickInfoName->labelsize(size + 2);
    quickInfoName->labelcolor(tnPanelTextColor);
    quickInfoName->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);

    quickInfoLastConnectedLabel = new Fl_Box(0, 0, 163, 18);
    quickInfoLastConnectedLabel->labelsize(size + 1);
    quickInfoLastConnectedLabel->labelcolor(tnPanelTextColor);
    quickInfoLastConnectedLabel->align(FL_ALIGN_BOTTOM_LEFT | FL_ALIGN_INSIDE);

    quickInfoLastConnected = new Fl_Box(0, 0, 163, 18);
    quickInfoLastConnected->labelsize(size + 1);
    quickInfoLastConnected->labelcolor(tnPanelTextColor);
    quickInfoLastConnected->align(FL_ALIGN_TOP | FL_ALIGN_INSIDE);

    quickInfoSecurity = new Fl_Box(0, 0, 163, 2 * (size + 1) + 8);
    quickInfoSecurity->labelsize(size + 1);
    quickInfoSecurity->labelcolor(tnPanelTextColor);
    quickInfoSecurity->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_WRAP | FL_ALIGN_CLIP);

    quickInfoLastError = new Fl_Multiline_Output(0, 0, 163, 45);
    quickInfoLastError->textsize(size + 1);
    quickInfoLastError->textcolor(FL_DARK_RED);
    quickInfoLastError->box(FL_THIN_DOWN_BOX);
    quickInfoLastError->wrap(1);
    quickInfoLastError->clear_visible_focus();

    quickNoteBox = new TNQuickNoteBox(0, 0, 163, 190);
    quickNoteBox->textfont(FL_HELVETICA_ITALIC);
    quickNoteBox->textsize(size + 2);
    quickNoteBox->textcolor(tnPanelTextColor);
    quickNoteBox->box(FL_THIN_DOWN_BOX);
    quickNoteBox->wrap(1);
    quickNoteBox->clear_visible_focus();
    quickInfoPack->end();

    // Also makes the note editor, the window's next child, drawn over the note box.
    tnQuickInfoSetToEmpty();

    begin();
    buttonPack = new Fl_Pack(0, 747, 170, 20);
    buttonPack->type(Fl_Pack::HORIZONTAL);
    btnAdd = tnCreateListButton();
    btnDelete = tnCreateListButton();
    btnUp = tnCreateListButton();
    btnDown = tnCreateListButton();
    btnScan = tnCreateListButton();
    btnListen = tnCreateListButton();
    btnHelp = tnCreateListButton();
    btnOptions = tnCreateListButton();
    btnOverview = tnCreateListButton();
    buttonPack->end();

    // Small updates are drawn straight to the screen: a double-buffered window would copy
    // its back buffer for each of them. The layout gives it its place and size.
    viewerWindow = new Fl_Window(0, 0, 1, 1);
    scroller = new Fl_Scroll(0, 0, 1, 1);
    vncViewer = new VncViewer(0, 0, 0, 0);
    scroller->box(FL_FLAT_BOX);
    scroller->type(0);
    scroller->end();
    overview = new TNOverview(0, 0, 1, 1);
    overview->hide();
    viewerWindow->end();
    viewerWindow->resizable(scroller);

    vncViewer->onUserInput = [this] { isScanning = false; };
    vncViewer->onToggleFullScreen = [this] { setFullScreen(!vncViewer->isFullScreen); };
    vncViewer->onToggleOverview = [] { tnToggleOverview(); };

    end();
    resizable(viewerWindow);
}

namespace {

// Images of earlier calls: host lines and buttons may still show them, so they are kept.
void tnRetireImages()
{
    static std::vector<Fl_Image*>& retired = *new std::vector<Fl_Image*>();
    if (app->iconApp)
        retired.push_back(app->iconApp);
    for (Fl_Pixmap* image : tnLineIcons()) {
        if (image)
            retired.push_back(image);
    }
    for (Fl_Button* button : {app->btnAdd, app->btnDelete, app->btnUp, app->btnDown, app->btnScan, app->btnListen,
                              app->btnHelp, app->btnOptions, app->btnOverview}) {
        if (button->image())
            retired.push_back(button->image());
    }
}

} // namespace

std::vector<Fl_Pixmap*> tnLineIcons()
{
    return {app->iconDisconnected, app->iconDisconnectedError, app->iconDisconnectedBigError, app->iconConnected,
            app->iconNoConnect,    app->iconConnecting,        app->iconReconnecting};
}

void tnCreateAppIcons(bool keepLineIcons)
{
    tnRetireImages();
    const Fl_Pixmap appPixmap(pmTandrel_xpm);
    app->iconApp = new Fl_RGB_Image(&appPixmap, FL_BACKGROUND_COLOR);
    Fl_Window::default_icon(app->iconApp);

    const bool cb = appOptions.colorBlindIcons;
    app->iconDisconnected = new Fl_Pixmap(cb ? pmStatusDisconnectedCB : pmStatusDisconnected);
    app->iconDisconnectedError = new Fl_Pixmap(cb ? pmStatusDisconnectedErrorCB : pmStatusDisconnectedError);
    app->iconDisconnectedBigError =
        new Fl_Pixmap(cb ? pmStatusDisconnectedBigErrorCB : pmStatusDisconnectedBigError);
    app->iconConnected = new Fl_Pixmap(cb ? pmStatusConnectedCB : pmStatusConnected);
    app->iconNoConnect = new Fl_Pixmap(cb ? pmStatusNoConnectCB : pmStatusNoConnect);
    app->iconConnecting = new Fl_Pixmap(cb ? pmStatusConnectingCB : pmStatusConnecting);
    app->iconReconnecting = new Fl_Pixmap(cb ? pmStatusReconnectingCB : pmStatusReconnecting);

    app->btnAdd->image(new Fl_Pixmap(pmListAddNew));
    app->btnDelete->image(new Fl_Pixmap(pmListDelete));
    app->btnUp->image(new Fl_Pixmap(pmListUp));
    app->btnDown->image(new Fl_Pixmap(pmListDown));
    // Re-made while scanning (options saved), the scan button keeps showing that it scans.
    app->btnScan->image(new Fl_Pixmap(app->isScanning ? pmListScanScanning : pmListScan));
    app->btnListen->image(new Fl_Pixmap(pmListListen));
    app->btnHelp->image(new Fl_Pixmap(pmListHelp));
    app->btnOptions->image(new Fl_Pixmap(pmListOptions));
    app->btnOverview->image(new Fl_Pixmap(pmListOverview));

    if (!keepLineIcons) {
        for (int line = 1; line <= app->hostList->size(); line++) {
            if (tnItemFromLine(line))
                app->hostList->icon(line, app->iconDisconnected);
        }
        app->hostList->redraw();
    }
}

void TNMainWindow::resize(int x, int y, int w, int h)
{
    // The toolkit's own rule for groups, which runs first, would scale every y and height
    // of the left column with the window's height (squashing the button strip) and leave
    // the viewer at its old size.
    const bool sizeChanges = w != this->w() || h != this->h();
    Fl_Double_Window::resize(x, y, w, h);
    if (sizeChanges)
        layOut();
}

void TNMainWindow::layOut()
{
    // Also called while the window is being built, before its parts exist.
    if (!hostList || !quickInfoPack || !buttonPack || !viewerWindow || !scroller || !vncViewer)
        return;
    const TNWindowLayout layout = tnMainWindowLayout(w(), h(), appOptions.hostListWidth, vncViewer->isFullScreen);
    const TNRect& list = layout.hostList;
    hostList->resize(list.x, list.y, list.w, list.h);
    tnLayOutQuickInfoPanel(layout.quickInfo);
    Fl_Pack* strip = buttonPack;
    strip->resize(layout.buttons.x, layout.buttons.y, strip->w(), layout.buttons.h);
    for (int i = 0; i < strip->children(); i++) {
        Fl_Widget* button = strip->child(i);
        button->resize(button->x(), strip->y(), button->w(), strip->h());
    }
    const TNRect& area = layout.viewerArea;
    tnPlaceViewerArea(*vncViewer, area.x, area.y, area.w, area.h);
    tnLayOutViewer(*vncViewer);
    if (overview)
        overview->resize(0, 0, viewerWindow->w(), viewerWindow->h());
    redraw();
}

void TNMainWindow::setFullScreen(bool fullScreen)
{
    // Leaving is also asked for before the shown connection ends; outside full screen there
    // is nothing to undo, and laying out a connection that is going away would only ask it
    // for an update.
    if (!vncViewer || fullScreen == vncViewer->isFullScreen)
        return;
    vncViewer->isFullScreen = fullScreen;
    layOut();
    if (vncViewer->vnc)
        tnShowConnection(*vncViewer, vncViewer->vnc);
    vncViewer->set_visible_focus();
    Fl::redraw();
    Fl::check();
}

void tnPositionWidgets()
{
    tnDebugLog("tnPositionWidgets - Resizing GUI elements");
    tnApplyPanelFontSizes();

    // The button strip is 170 wide until its first draw, then as wide as its buttons.
    const int rightEdge = app->buttonPack->x() + app->buttonPack->w();
    if (appOptions.hostListWidth < rightEdge - 25)
        appOptions.hostListWidth = rightEdge;
    app->layOut();
    Fl::redraw();
    Fl::check();
}

void TNMainWindow::placeAt(int x, int y, int w, int h)
{
    resize(x, y, w, h);
    force_position(1);
}

void tnRestoreWindowSizePosition()
{
    app->placeAt(appOptions.savedX, appOptions.savedY, appOptions.savedW, appOptions.savedH);
}

void tnPrepareShutDown()
{
    engine.isShuttingDown = true;
    tnEndAllConnections();
    // Readers end within moments once stopped; one still in a connect cannot be woken,
    // and shut-down does not wait for it past this.
    tnWaitForWorkers(2.0);
    tnLogToFile("--- Program shutting down ---");
    appOptions.savedX = app->x();
    appOptions.savedY = app->y();
    appOptions.savedW = app->w();
    appOptions.savedH = app->h();
    tnConfigWrite();
}

void tnHandleMainWindowEvents(Fl_Widget*, void*)
{
    // The toolkit also calls a window's callback for Escape; only a close request ends the program.
    if (Fl::event() != FL_CLOSE)
        return;
    tnShutDownAndExit(0);
}

void tnShutDownAndExit(int status)
{
    tnPrepareShutDown();
    Fl::check();
    // No static destructor may run under a reader that is still in a connect.
    fflush(nullptr);
    _exit(status);
}
int tnDispatchEvent(int event, Fl_Window* window)
{
    if (tnTakeOverPasteEvent(event))
        return 1;
    // A drop would be read through the toolkit's own paste, which large text crashes.
    if (event == FL_DND_ENTER || event == FL_DND_DRAG || event == FL_DND_RELEASE)
        return 0;
    if (event == FL_CLOSE && window && window == app && Fl::modal() && Fl::modal() != window) {
        if (app->childWindow)
            app->childWindow->hide();
        // The toolkit sets the event number only in its own handling, which this skips.
        Fl::e_number = event;
        window->do_callback();
        return 1;
    }
    return Fl::handle_(event, window);
}

void tnCloseChildWindow(Fl_Widget*, void* window)
{
    // A TNChildWindow (gui/child_window.h) does the rest of the closing in its hide().
    auto* closing = static_cast<Fl_Window*>(window);
    if (closing)
        closing->hide();
    if (closing && app->childWindow == closing) {
        app->childWindow = nullptr;
        app->itmBeingEdited = nullptr;
    }
    app->childWindowVisible = false;
}
