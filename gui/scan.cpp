#include "gui/scan.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Pixmap.H>

#include "config/host_item.h"
#include "connection/vnc_object.h"
#include "gui/main_window.h"
#include "gui/overview.h"
#include "gui/modal.h"
#include "core/options.h"
#include "gui/host_list.h"
#include "gui/pixmaps/list_buttons.h"
#include "gui/quick_info.h"
#include "viewer/remote_input.h"
#include "viewer/scan_order.h"
#include "viewer/vnc_viewer.h"

namespace {

void tnShowScanState(bool scanning)
{
    // The two images are made once; the one the main window gave the button goes, since
    // nothing else shows it.
    static Fl_Pixmap* const imageOff = new Fl_Pixmap(pmListScan);
    static Fl_Pixmap* const imageOn = new Fl_Pixmap(pmListScanScanning);
    app->label(scanning ? "Tandrel [Scanning]" : "Tandrel");
    Fl_Image* previous = app->btnScan->image();
    app->btnScan->image(scanning ? imageOn : imageOff);
    if (previous != imageOn && previous != imageOff)
        delete previous;
    app->btnScan->redraw();
}

bool tnIsScannable(const HostItem* itm)
{
    const VncObject* vnc = tnVncOf(itm);
    return itm && tnIsConnected(itm) && vnc && vnc->vncClient;
}

void tnStopScan()
{
    Fl::remove_timeout(tnScanTimer);
    app->isScanning = false;
    app->scanIndex = 0;
    tnShowScanState(false);
    if (!tnThereAreConnectedItems())
        tnMessageWindow("No connected viewers. Scanning is now stopped", "Tandrel - Scan mode");
}

void tnShowScannedHost(int line, HostItem* itm)
{
    tnDeselectAllItems();
    tnHideShownConnection(*app->vncViewer);
    tnSelectHostLine(line);
    // Asks the server for a full update: the connection was not read while hidden.
    tnShowConnection(*app->vncViewer, tnVncOf(itm));
    tnQuickInfoSetLabelAndText(itm);
    tnNudgeRemotePointer(tnVncOf(itm));
}

} // namespace

void tnHandleScanButton()
{
    // A step still pending means the window shows a scan, also one that the viewer has
    // just ended (it clears isScanning alone; the next step would notice): the press
    // stops what the button shows.
    if (app->isScanning || Fl::has_timeout(tnScanTimer)) {
        Fl::remove_timeout(tnScanTimer);
        app->isScanning = false;
        app->scanIndex = 0;
        tnShowScanState(false);
        return;
    }
    // A scan shows its hosts in the viewer.
    tnCloseOverview(false);
    tnShowScanState(true);
    app->scanIndex = app->hostList->value();
    app->isScanning = true;
    tnDeselectAllItems();
    tnScanTimer(nullptr);
}

void tnScanTimer(void*)
{
    Fl::remove_timeout(tnScanTimer);
    // Closing the program has ended every connection: no step and no message any more.
    if (engine.isShuttingDown)
        return;
    if (!app->isScanning || app->hostList->size() == 0 || !tnThereAreConnectedItems()) {
        tnStopScan();
        return;
    }
    std::vector<bool> connected;
    for (int line = 1; line <= app->hostList->size(); line++)
        connected.push_back(tnIsScannable(tnItemFromLine(line)));
    const int line = tnNextScanLine(connected, app->scanIndex);
    if (line == 0) {
        tnStopScan();
        return;
    }
    app->scanIndex = line;
    tnShowScannedHost(line, tnItemFromLine(line));
    Fl::add_timeout(appOptions.scanTimeout, tnScanTimer);
}
