#include "support/library_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <rfb/rfb.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

const char* tnEncodingName(int encoding)
{
    switch (encoding) {
    case rfbEncodingRaw: return "raw";
    case rfbEncodingCopyRect: return "copyrect";
    case rfbEncodingHextile: return "hextile";
    case rfbEncodingZlib: return "zlib";
    case rfbEncodingTight: return "tight";
    case rfbEncodingZRLE: return "zrle";
    default: return "other";
    }
}

} // namespace

struct TNLibraryServer::Impl {
    rfbScreenInfoPtr screen = nullptr;
    int port = 0;
    std::thread thread;
    std::atomic<bool> running{false};
    std::atomic<long> requests{0};
    std::atomic<TNScreenChange> change{TNScreenChange::Whole};
    mutable std::mutex lock;
    std::string lastEncoding; // under lock

    // Server thread only. The screens in the library's own pixel format; the work buffer the
    // boxes are painted into.
    const std::vector<std::vector<uint8_t>>* screens = nullptr;
    const std::vector<std::vector<uint8_t>>* flatScreens = nullptr;
    std::vector<uint8_t> work;
    long frame = 0;
    long boxes = 0;

    static Impl* of(rfbClientPtr cl) { return static_cast<Impl*>(cl->screen->screenData); }

    // Runs before the library adds the request to what the client wants: the change it
    // makes here goes out in answer to this very request.
    static void requested(rfbClientPtr cl, rfbFramebufferUpdateRequestMsg* request)
    {
        Impl* impl = of(cl);
        impl->requests++;
        {
            std::string text = tnEncodingName(cl->preferredEncoding);
            if (cl->preferredEncoding == rfbEncodingTight)
                text += ", quality " + std::to_string(cl->tightQualityLevel) + ", compression " +
                        std::to_string(cl->tightCompressLevel);
            std::lock_guard<std::mutex> hold(impl->lock);
            impl->lastEncoding = text;
        }
        rfbScreenInfoPtr screen = impl->screen;
        if (impl->change != TNScreenChange::Box) {
            const auto& screens = impl->change == TNScreenChange::Flat ? *impl->flatScreens : *impl->screens;
            const auto& next = screens[++impl->frame % tnBenchFrames];
            screen->frameBuffer = reinterpret_cast<char*>(const_cast<uint8_t*>(next.data()));
            rfbMarkRectAsModified(screen, 0, 0, tnBenchWidth, tnBenchHeight);
            return;
        }
        // Boxes are painted into the work buffer, which starts as the screen last shown.
        if (screen->frameBuffer != reinterpret_cast<char*>(impl->work.data())) {
            memcpy(impl->work.data(), screen->frameBuffer, impl->work.size());
            screen->frameBuffer = reinterpret_cast<char*>(impl->work.data());
        }
        if (!request->incremental)
            return; // the library sends the whole screen
        const TNBoxChange box = tnBenchBoxChange(impl->boxes++);
        const std::vector<uint8_t>& pixels = (*impl->screens)[box.screen];
        for (int row = 0; row < tnBenchBox; ++row) {
            const size_t at = (static_cast<size_t>(box.y + row) * tnBenchWidth + box.x) * 4;
            memcpy(impl->work.data() + at, pixels.data() + at, tnBenchBox * 4);
        }
        rfbMarkRectAsModified(screen, box.x, box.y, box.x + tnBenchBox, box.y + tnBenchBox);
    }

    static rfbNewClientAction newClient(rfbClientPtr cl)
    {
        cl->clientFramebufferUpdateRequestHook = requested;
        return RFB_CLIENT_ACCEPT;
    }
};

TNLibraryServer::TNLibraryServer() : impl(new Impl())
{
}

TNLibraryServer::~TNLibraryServer()
{
    stop();
}

bool TNLibraryServer::start()
{
    if (impl->screen)
        return true;
    rfbLogEnable(0);
    int argc = 1;
    char name[] = "tn-bench";
    char* argv[] = {name, nullptr};
    rfbScreenInfoPtr screen = rfbGetScreen(&argc, argv, tnBenchWidth, tnBenchHeight, 8, 3, 4);
    if (!screen)
        return false;
    // The library's pixel format: red in the first byte, then green, then blue.
    TNPixelFormat format;
    format.bigEndian = screen->serverFormat.bigEndian != 0;
    format.redShift = screen->serverFormat.redShift;
    format.greenShift = screen->serverFormat.greenShift;
    format.blueShift = screen->serverFormat.blueShift;
    impl->screens = &tnBenchScreens(format);
    impl->flatScreens = &tnBenchScreens(format, true);
    impl->work = (*impl->screens)[0];
    screen->frameBuffer = reinterpret_cast<char*>(const_cast<uint8_t*>((*impl->screens)[0].data()));
    // No cursor is drawn into the screens (they are shared and never written).
    screen->cursor = nullptr;
    screen->desktopName = "tn-bench";
    // The first free port from 5900 on, on the loopback address only.
    screen->autoPort = TRUE;
    screen->port = 5900;
    screen->ipv6port = 0;
    screen->listenInterface = htonl(INADDR_LOOPBACK);
    screen->alwaysShared = TRUE;
    screen->deferUpdateTime = 0;
    screen->screenData = impl.get();
    screen->newClientHook = Impl::newClient;
    rfbInitServer(screen);
    if (screen->listenSock == RFB_INVALID_SOCKET) {
        rfbScreenCleanup(screen);
        return false;
    }
    impl->screen = screen;
    impl->port = screen->port;
    impl->running = true;
    impl->thread = std::thread([this] {
        while (impl->running)
            rfbProcessEvents(impl->screen, 20000); // waits up to 20 ms for a client's message
    });
    return true;
}

void TNLibraryServer::stop()
{
    if (!impl->screen)
        return;
    impl->running = false;
    if (impl->thread.joinable())
        impl->thread.join();
    rfbShutdownServer(impl->screen, TRUE);
    rfbScreenCleanup(impl->screen);
    impl->screen = nullptr;
}

int TNLibraryServer::port() const
{
    return impl->port;
}

long TNLibraryServer::updateRequests() const
{
    return impl->requests;
}

void TNLibraryServer::setChange(TNScreenChange change)
{
    impl->change = change;
}

std::string TNLibraryServer::lastClientEncoding() const
{
    std::lock_guard<std::mutex> hold(impl->lock);
    return impl->lastEncoding;
}
