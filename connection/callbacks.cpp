// The library's hooks: password and credential requests, finished updates, the remote
// cursor, the library's log lines, and the text shown for a failed handshake.
#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_RGB_Image.H>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "config/host_item.h"
#include "connection/engine_internal.h"
#include "connection/vnc_object.h"
#include "core/app.h"
#include "core/log.h"
#include "viewer/vnc_viewer.h"

namespace {

VncObject* tnObjectOfClient(rfbClient* client)
{
    return static_cast<VncObject*>(rfbClientGetClientData(client, app->libVncTag));
}

// A malloc'ed copy of at most `limit` characters of `text`, in a buffer of `size` bytes.
char* tnMallocCopy(const std::string& text, size_t limit, size_t size)
{
    char* copy = static_cast<char*>(malloc(size));
    if (!copy)
        return nullptr;
    const size_t length = text.size() < limit ? text.size() : limit;
    memcpy(copy, text.data(), length);
    copy[length] = '\0';
    return copy;
}

// An empty password handed to the library on this thread, which the library will not free.
thread_local char* refusedEmptyPassword = nullptr;

} // namespace

void tnFreeRefusedEmptyPassword()
{
    free(refusedEmptyPassword);
    refusedEmptyPassword = nullptr;
}

std::string tnErrorTextForHandshake(const std::string& error, char hostType, bool sshReady)
{
    if (error.find("Resource temporarily unavailable") != std::string::npos)
        return "Bad / missing password or Resource temporarily unavailable";
    if (error.find("Operation now in progress") != std::string::npos) {
        if (hostType == 's' && !sshReady)
            return "Unable to connect to host's SSH server";
        return "Unable to connect to VNC server";
    }
    return error;
}

char* VncObject::handlePassword(rfbClient* client)
{
    if (!client) {
        tnLogToFile("ERROR - handlePassword: vnc->vncClient is null");
        return nullptr;
    }
    VncObject* vnc = tnObjectOfClient(client);
    if (!vnc) {
        tnLogToFile("ERROR - handlePassword: vnc is null");
        return nullptr;
    }
    if (!vnc->itm) {
        tnLogToFile("ERROR - handlePassword: itm is null");
        return nullptr;
    }
    // VNC authentication uses 8 characters; the library cuts the rest.
    char* password = tnMallocCopy(vnc->itm->vncPassword, 9, 10);
    if (password && !*password)
        refusedEmptyPassword = password;
    return password;
}

rfbCredential* VncObject::handleCredential(rfbClient* client, int credentialType)
{
    if (!client) {
        tnLogToFile("ERROR - handleCredential: vnc->vncClient is null");
        return nullptr;
    }
    if (credentialType != rfbCredentialTypeUser) {
        tnLogToFile("ERROR - handleCredential: Non-username / password required for authentication");
        return nullptr;
    }
    VncObject* vnc = tnObjectOfClient(client);
    if (!vnc) {
        tnLogToFile("ERROR - handleCredential: vnc is null");
        return nullptr;
    }
    if (!vnc->itm) {
        tnLogToFile("ERROR - handleCredential: itm is null");
        return nullptr;
    }
    // The library frees the record and both strings with free().
    auto* credential = static_cast<rfbCredential*>(malloc(sizeof(rfbCredential)));
    char* user = tnMallocCopy(vnc->itm->vncLoginUser, 8191, 8192);
    char* password = tnMallocCopy(vnc->itm->vncLoginPassword, 8191, 8192);
    if (!credential || !user || !password) {
        free(credential);
        free(user);
        free(password);
        return nullptr;
    }
    credential->userCredential.username = user;
    credential->userCredential.password = password;
    return credential;
}

void VncObject::handleFrameBufferUpdate(rfbClient* client)
{
    if (!client)
        return;
    VncObject* vnc = tnObjectOfClient(client);
    if (vnc && vnc->isVisible && app->vncViewer)
        app->vncViewer->redraw();
}

void VncObject::handleCursorShapeChange(rfbClient* client, int xhot, int yhot, int width, int height,
                                        int bytesPerPixel)
{
    if (!client)
        return;
    VncObject* vnc = tnObjectOfClient(client);
    // A shape that arrives while the pointer is elsewhere is dropped.
    if (!vnc || !app->vncViewer || Fl::belowmouse() != app->vncViewer || !vnc->isVisible)
        return;
    if (!client->rcSource || width <= 0 || height <= 0)
        return;
    if ((bytesPerPixel == 4 || bytesPerPixel == 2) && client->rcMask) {
        // The pixel's last byte carries no colour: it becomes the mask's alpha.
        const long pixels = static_cast<long>(width) * height;
        for (long i = 0; i < pixels; i++)
            client->rcSource[i * bytesPerPixel + bytesPerPixel - 1] = client->rcMask[i] ? 255 : 0;
    }
    Fl_RGB_Image wrapped(client->rcSource, width, height, bytesPerPixel);
    delete vnc->cursorImage;
    vnc->cursorImage = static_cast<Fl_RGB_Image*>(wrapped.copy(width, height));
    if (!vnc->cursorImage)
        return;
    vnc->cursorHotX = xhot;
    vnc->cursorHotY = yhot;
    Fl::awake(tnHandleThreadCursorChange, nullptr);
}

void tnHandleThreadCursorChange(void* restoreDefault)
{
    if (!app->mainWin)
        return;
    if (restoreDefault) {
        app->mainWin->cursor(FL_CURSOR_DEFAULT);
        return;
    }
    if (!app->vncViewer || !app->vncViewer->vnc)
        return;
    const VncObject* vnc = app->vncViewer->vnc;
    if (vnc->cursorImage) {
        app->mainWin->cursor(vnc->cursorImage, vnc->cursorHotX, vnc->cursorHotY);
        // Shows the new cursor now, without waiting here for the next event.
        Fl::flush();
    } else {
        app->mainWin->cursor(FL_CURSOR_DEFAULT);
    }
}

void VncObject::libVncLogging(const char* format, ...)
{
    if (!app->debugMode || !format)
        return;
    char buffer[2048] = {0};
    va_list args;
    va_start(args, format);
    vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    tnLogToFile(buffer);
}

void VncObject::parseErrorMessages(HostItem* itm, const char* error)
{
    if (!itm || !error)
        return;
    char line[2048] = {0};
    snprintf(line, sizeof(line), "[Error] '%s' - %s: %s", itm->name.c_str(), itm->hostAddress.c_str(), error);
    tnLogToFile(line);
    itm->setLastError(tnErrorTextForHandshake(error, itm->hostType, itm->sshReady));
}
