#include "connection/front_end.h"

#include <deque>
#include <mutex>

#include "connection/user_question.h"

namespace {

// Before start-up installs the real one: no list, no viewer, nobody listening.
class TNNoFrontEnd : public TNFrontEnd {
public:
    void reportError(const std::string&, const std::string&) override {}
    void tell(const std::string&, const std::string&) override {}
    void addListeningLine(std::shared_ptr<HostItem>) override {}
    void removeLine(HostItem*) override {}
    void hostIconChanged(HostItem*, TNHostIcon) override {}
    void hostNameChanged(HostItem*) override {}
    void hostConnected(HostItem*) override {}
    void lastErrorChanged(HostItem*) override {}
    VncObject* shownConnection() override { return nullptr; }
    void showConnection(VncObject*) override {}
    void hideShownConnection() override {}
    void connectionEnding(VncObject*) override {}
    void connectionReleased(const VncObject*) override {}
    void frameUpdated(VncObject*) override {}
    void desktopResized(VncObject*) override {}
    void cursorShapeChanged(VncObject*, const TNCursorShape&) override {}
    void cutTextReceived(VncObject*, const char*, int, bool) override {}
};

// None of these is ever destroyed: a reader still running while the program exits may post.
TNNoFrontEnd& noFrontEnd = *new TNNoFrontEnd;
TNFrontEnd* installed = &noFrontEnd;

std::mutex& postedLock = *new std::mutex;
std::deque<std::function<void()>>& posted = *new std::deque<std::function<void()>>;

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

void TNFrontEnd::post(std::function<void()> work)
{
    bool first = false;
    {
        std::lock_guard<std::mutex> hold(postedLock);
        first = posted.empty();
        posted.push_back(std::move(work));
    }
    // One wake covers everything posted until the window's thread takes the queue.
    if (first)
        wake();
}

void tnRunPostedWork()
{
    std::deque<std::function<void()>> taken;
    {
        std::lock_guard<std::mutex> hold(postedLock);
        taken.swap(posted);
    }
    for (std::function<void()>& work : taken)
        work();
}
