#include "connection/front_end.h"

#include "connection/user_question.h"

namespace {

// Before start-up installs the real one: no list, no viewer, nobody listening.
class TNNoFrontEnd : public TNFrontEnd {
public:
    std::vector<HostItem*> listedHosts() override { return {}; }
    bool isListed(const HostItem*) override { return false; }
    bool isSelected(const HostItem*) override { return false; }
    void addListeningLine(HostItem*) override {}
    void removeLine(HostItem*) override {}
    void hostIconChanged(HostItem*, TNHostIcon) override {}
    void hostNameChanged(HostItem*) override {}
    void hostConnected(HostItem*) override {}
    void lastErrorChanged(HostItem*) override {}
    VncObject* shownConnection() override { return nullptr; }
    void showConnection(VncObject*) override {}
    void hideShownConnection() override {}
    bool fitsViewer(const VncObject*) override { return false; }
    void connectionEnding(VncObject*) override {}
    void frameUpdated(VncObject*) override {}
    void desktopResized(VncObject*) override {}
    void cursorShapeChanged(VncObject*, const TNCursorShape&) override {}
    void cutTextReceived(VncObject*, const char*, int, bool) override {}
};

TNNoFrontEnd noFrontEnd;
TNFrontEnd* installed = &noFrontEnd;

} // namespace

TNFrontEnd& tnFrontEnd()
{
    return *installed;
}

void tnSetFrontEnd(TNFrontEnd* frontEnd)
{
    installed = frontEnd ? frontEnd : &noFrontEnd;
}

void TNFrontEnd::ask(HostItem*, std::shared_ptr<TNUserQuestion> question)
{
    question->answer(0);
}
