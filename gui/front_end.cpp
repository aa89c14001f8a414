#include "gui/front_end.h"

#include <FL/Fl.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Multiline_Output.H>
#include <FL/Fl_Pixmap.H>

#include "config/host_item.h"
#include "config/host_list_model.h"
#include "connection/front_end.h"
#include "connection/user_question.h"
#include "connection/vnc_object.h"
#include "gui/main_window.h"
#include "gui/host_list.h"
#include "gui/modal.h"
#include "gui/overview.h"
#include "gui/quick_info.h"
#include "gui/question_window.h"
#include "viewer/vnc_viewer.h"

namespace {

class TNGuiFrontEnd : public TNFrontEnd {
public:
    void reportError(const std::string& text, const std::string& title) override
    {
        tnBeep();
        tnShowMessageBox(title, text);
    }

    void tell(const std::string& text, const std::string& title) override { tnShowMessageBox(title, text); }

    void addListeningLine(std::shared_ptr<HostItem> itm) override
    {
        if (!app || !app->hostList)
            return;
        app->hostList->bottomline(tnAddHostLine(std::move(itm)));
        app->hostList->redraw();
        tnOverviewHostsChanged();
    }

    void removeLine(HostItem* itm) override
    {
        if (const uint16_t line = tnItemNumFromItm(itm))
            tnRemoveHostLine(line);
        tnOverviewHostsChanged();
    }

    // Sets the icon and marks the list for drawing; the drawing happens when the toolkit
    // next waits, so no other callback runs in here.
    void hostIconChanged(HostItem* itm, TNHostIcon icon) override
    {
        if (!app)
            return;
        tnOverviewHostsChanged();
        if (const uint16_t line = tnItemNumFromItm(itm)) {
            app->hostList->icon(line, tnStatusIcon(icon));
            app->hostList->redraw();
            // Connected or not any more: the panel's line on the connection's protection.
            if (app->quickInfoSecurity && tnHostList().isSelected(itm))
                tnQuickInfoSetSecurity(icon == TNHostIcon::Connected ? itm : nullptr);
        }
    }

    void hostNameChanged(HostItem* itm) override
    {
        if (const uint16_t line = tnItemNumFromItm(itm)) {
            app->hostList->text(line, tnHostLineText(itm).c_str());
            app->hostList->redraw();
        }
        tnOverviewHostsChanged();
    }

    void hostConnected(HostItem* itm) override
    {
        tnPrepareToShow(tnVncOf(itm));
        if (tnHostList().isSelected(itm))
            tnQuickInfoSetLabelAndText(itm);
    }

    void lastErrorChanged(HostItem* itm) override
    {
        if (app && app->quickInfoLastError && tnHostList().isSelected(itm))
            app->quickInfoLastError->value(tnStatusTextOf(itm).c_str());
        // A reconnecting host's countdown changes its tile's text alone.
        if (tnStateOf(itm) == TNConnectionState::Reconnecting)
            tnOverviewTileTextChanged(itm);
        else
            tnOverviewHostsChanged();
    }

    VncObject* shownConnection() override { return app && app->vncViewer ? app->vncViewer->vnc : nullptr; }
    void showConnection(VncObject* vnc) override { tnShowConnection(*app->vncViewer, vnc); }
    void hideShownConnection() override { tnHideShownConnection(*app->vncViewer); }

    void connectionEnding(VncObject* vnc) override
    {
        VncViewer* viewer = app ? app->vncViewer : nullptr;
        if (!viewer || !viewer->vnc || viewer->vnc->itm != vnc->itm)
            return;
        if (viewer->isFullScreen)
            app->setFullScreen(false);
        tnHideShownConnection(*app->vncViewer);
    }

    void connectionReleased(const VncObject* vnc) override
    {
        // A host that reconnects keeps its view for its next connection.
        if (app && app->vncViewer && !tnReconnectPending(vnc->itm))
            app->vncViewer->forget(vnc->itm);
        tnOverviewForget(vnc);
    }

    void frameUpdated(VncObject* vnc) override
    {
        tnViewerPictureChanged(*app->vncViewer, vnc);
        tnOverviewPictureChanged(vnc);
    }

    // The viewer notices the new size when it draws next and lays the picture out again.
    void desktopResized(VncObject* vnc) override { frameUpdated(vnc); }

    void cursorShapeChanged(VncObject* vnc, const TNCursorShape& shape) override { tnTakeCursorShape(*app->vncViewer, vnc, shape); }

    void cutTextReceived(VncObject* vnc, const char* text, int length, bool utf8) override
    {
        tnReceiveCutText(*app->vncViewer, vnc, text, length, utf8);
    }

    void ask(HostItem* itm, std::shared_ptr<TNUserQuestion> question) override
    {
        // From a worker: the window opens on the window's thread.
        post([itm, question = std::move(question)]() mutable { tnShowQuestion(itm, std::move(question)); });
    }

    static void nothing(void*) {}

    // Fl::awake's ring holds 1024 entries and refuses the rest: then the watcher runs the
    // posted work within a second.
    void wake() override { Fl::awake(runPosted, nullptr); }

    void reconnectDueIn(double seconds) override { Fl::add_timeout(seconds, runDueReconnects); }

private:
    static void runPosted(void*) { tnRunPostedWork(); }
    static void runDueReconnects(void*) { tnRunDueReconnects(); }
};

} // namespace

Fl_Pixmap* tnStatusIcon(TNHostIcon icon)
{
    switch (icon) {
    case TNHostIcon::Disconnected:
        return app->iconDisconnected;
    case TNHostIcon::DisconnectedError:
        return app->iconDisconnectedError;
    case TNHostIcon::DisconnectedBigError:
        return app->iconDisconnectedBigError;
    case TNHostIcon::Connected:
        return app->iconConnected;
    case TNHostIcon::NoConnect:
        return app->iconNoConnect;
    case TNHostIcon::Connecting:
        return app->iconConnecting;
    case TNHostIcon::Reconnecting:
        return app->iconReconnecting;
    }
    return app->iconDisconnected;
}

Fl_Pixmap* tnHostStatusImage(const HostItem* itm)
{
    const TNConnection* connection = tnConnectionOf(itm);
    return connection ? tnStatusIcon(connection->icon) : nullptr;
}

TNFrontEnd& tnGuiFrontEnd()
{
    // Never destroyed: a reader still running while the program exits may post to it.
    static TNGuiFrontEnd& frontEnd = *new TNGuiFrontEnd;
    // The toolkit makes the lock of its awake queue at the queue's first use, unguarded: that
    // first use is here, on the window's thread, and not two workers posting at once.
    static const bool awakeQueueMade = (Fl::awake(TNGuiFrontEnd::nothing, nullptr), true);
    (void)awakeQueueMade;
    return frontEnd;
}
