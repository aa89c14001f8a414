#include "gui/front_end.h"

#include <FL/Fl.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Multiline_Output.H>
#include <FL/Fl_Pixmap.H>

#include "config/host_item.h"
#include "connection/front_end.h"
#include "connection/user_question.h"
#include "connection/vnc_object.h"
#include "core/app.h"
#include "gui/host_list.h"
#include "gui/quick_info.h"
#include "gui/question_window.h"
#include "viewer/vnc_viewer.h"

namespace {

class TNGuiFrontEnd : public TNFrontEnd {
public:
    std::vector<HostItem*> listedHosts() override
    {
        std::vector<HostItem*> hosts;
        if (!app || !app->hostList)
            return hosts;
        const int size = app->hostList->size();
        hosts.reserve(static_cast<size_t>(size));
        for (int line = 1; line <= size; line++) {
            if (HostItem* itm = tnItemFromLine(line))
                hosts.push_back(itm);
        }
        return hosts;
    }

    bool isListed(const HostItem* itm) override { return tnItemNumFromItm(itm) > 0; }

    bool isSelected(const HostItem* itm) override
    {
        const uint16_t line = tnItemNumFromItm(itm);
        return line > 0 && app->hostList->value() == line;
    }

    void addListeningLine(HostItem* itm) override
    {
        itm->icon = app ? app->iconDisconnected : nullptr;
        if (!app || !app->hostList)
            return;
        app->hostList->add(tnHostLineText(itm).c_str(), itm);
        const int last = app->hostList->size();
        app->hostList->icon(last, itm->icon);
        app->hostList->bottomline(last);
        app->hostList->redraw();
    }

    void removeLine(HostItem* itm) override
    {
        if (const uint16_t line = tnItemNumFromItm(itm))
            tnRemoveHostLine(line);
    }

    // Sets the icon and marks the list for drawing; the drawing happens when the toolkit
    // next waits, so no other callback runs in here.
    void hostIconChanged(HostItem* itm, TNHostIcon icon) override
    {
        if (!app)
            return;
        itm->icon = iconFor(icon);
        if (const uint16_t line = tnItemNumFromItm(itm)) {
            app->hostList->icon(line, itm->icon);
            app->hostList->redraw();
            // Connected or not any more: the panel's line on the connection's protection.
            if (app->quickInfoSecurity && isSelected(itm))
                tnQuickInfoSetSecurity(icon == TNHostIcon::Connected ? itm : nullptr);
        }
    }

    void hostNameChanged(HostItem* itm) override
    {
        if (const uint16_t line = tnItemNumFromItm(itm)) {
            app->hostList->text(line, tnHostLineText(itm).c_str());
            app->hostList->redraw();
        }
    }

    void hostConnected(HostItem* itm) override
    {
        if (isSelected(itm))
            tnQuickInfoSetLabelAndText(itm);
    }

    void lastErrorChanged(HostItem* itm) override
    {
        if (app && app->quickInfoLastError && isSelected(itm))
            app->quickInfoLastError->value(itm->lastError().c_str());
    }

    VncObject* shownConnection() override { return app && app->vncViewer ? app->vncViewer->vnc : nullptr; }
    void showConnection(VncObject* vnc) override { tnShowConnection(vnc); }
    void hideShownConnection() override { tnHideShownConnection(); }
    bool fitsViewer(const VncObject* vnc) override { return tnFitsViewer(vnc); }

    void connectionEnding(VncObject* vnc) override
    {
        VncViewer* viewer = app ? app->vncViewer : nullptr;
        if (!viewer || !viewer->vnc || viewer->vnc->itm != vnc->itm)
            return;
        if (viewer->isFullScreen)
            VncViewer::unsetFullScreen();
        tnHideShownConnection();
    }

    void frameUpdated(VncObject* vnc) override
    {
        tnViewerPictureChanged(vnc);
    }

    // The viewer notices the new size when it draws next and lays the picture out again.
    void desktopResized(VncObject* vnc) override { frameUpdated(vnc); }

    void cursorShapeChanged(VncObject* vnc, const TNCursorShape& shape) override { tnTakeCursorShape(vnc, shape); }

    void cutTextReceived(VncObject* vnc, const char* text, int length, bool utf8) override
    {
        tnReceiveCutText(vnc, text, length, utf8);
    }

    void ask(HostItem* itm, std::shared_ptr<TNUserQuestion> question) override
    {
        // From a worker: the window opens on the window's thread.
        auto* held = new Asked{itm, std::move(question)};
        if (Fl::awake(openQuestion, held) != 0) {
            held->question->answer(0);
            delete held;
        }
    }

private:
    struct Asked {
        HostItem* itm;
        std::shared_ptr<TNUserQuestion> question;
    };

    static void openQuestion(void* data)
    {
        auto* held = static_cast<Asked*>(data);
        tnShowQuestion(held->itm, std::move(held->question));
        delete held;
    }

    static Fl_Pixmap* iconFor(TNHostIcon icon)
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
        }
        return app->iconDisconnected;
    }
};

} // namespace

TNFrontEnd& tnGuiFrontEnd()
{
    static TNGuiFrontEnd frontEnd;
    return frontEnd;
}
