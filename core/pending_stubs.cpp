// Temporary weak stand-ins so every target links while the modules are being written.
// A module's real definition replaces its stand-in. This file goes once all exist.
#include <string>
#include <vector>
#include <istream>
#include "config/base64.h"
#include "config/config.h"
#include "config/host_item.h"
#include "connection/vnc_object.h"
#include "dialogs/about.h"
#include "gui/host_list.h"
#include "gui/inputs.h"
#include "gui/main_window.h"
#include "gui/quick_info.h"
#include "viewer/layout.h"
#include "viewer/vnc_viewer.h"
#include <FL/Fl.H>

#define W __attribute__((weak))
W std::string base64Encode(const unsigned char*, unsigned int) { return ""; }
W std::string base64Decode(const std::string&) { return ""; }
W std::string tnGetConfigProperty(const char*) { return ""; }
W std::string tnGetConfigValue(const char*) { return ""; }
W bool tnConvertStringToBoolean(const std::string&) { return false; }
W std::string tnConvertBooleanToString(bool) { return ""; }
W std::vector<TNConfigLine> tnConfigParse(std::istream&, AppState&) { return {}; }
W std::string tnConfigSerialize(const AppState&, const std::vector<const HostItem*>&) { return ""; }
W bool tnWriteFileAtomically(const std::string&, const std::string&) { return false; }
W void tnConfigReadCreateHostList() {}
W void tnConfigWrite() {}
W void tnConfigCreateNewDir() {}
W VncObject::~VncObject() {}
W void VncObject::createVNCObject(HostItem*) {}
W void VncObject::createVNCListener() {}
W void* VncObject::initVNCConnection(void*) { return nullptr; }
W void VncObject::endViewer() {}
W void VncObject::endAllViewers() {}
W void VncObject::cleanupVNCObject(HostItem*) {}
W void VncObject::masterMessageLoop() { while (Fl::wait(0.7) >= 0) {} }
W void VncObject::checkVNCMessages(VncObject*) {}
W void VncObject::setObjectVisible() {}
W void VncObject::hideMainViewer() {}
W bool VncObject::fitsScroller() const { return false; }
W char* VncObject::handlePassword(rfbClient*) { return nullptr; }
W rfbCredential* VncObject::handleCredential(rfbClient*, int) { return nullptr; }
W void VncObject::handleFrameBufferUpdate(rfbClient*) {}
W void VncObject::handleCursorShapeChange(rfbClient*, int, int, int, int, int) {}
W void VncObject::handleRemoteClipboardProc(rfbClient*, const char*, int) {}
W void VncObject::libVncLogging(const char*, ...) {}
W void VncObject::parseErrorMessages(HostItem*, const char*) {}
W std::string tnErrorTextForHandshake(const std::string&, char, bool) { return ""; }
W void tnHandleThreadCursorChange(void*) {}
W void tnConnectionWatcher(void*) { Fl::repeat_timeout(1.0, tnConnectionWatcher); }
W void tnHandleThreadConnection(void*) {}
W void tnHandleListItemIconChange(void*) {}
W bool tnThereAreConnectedItems() { return false; }
W VncViewer::VncViewer(int x, int y, int w, int h, const char* l) : Fl_Box(x, y, w, h, l) {}
W void VncViewer::draw() {}
W int VncViewer::handle(int) { return 0; }
W void VncViewer::setFullScreen() {}
W void VncViewer::unsetFullScreen() {}
W void VncViewer::sendCorrectedKeyEvent(const char*, int, HostItem*, rfbClient*, bool) {}
W void tnResizeScroller() {}
W TNLayout tnChooseLayout(char, bool) { return TNLayout::None; }
W TNSize tnScaledViewerSize(int, int, int, int) { return {}; }
W void tnMapPointerScroll(int, int, int, int, int*, int*) {}
W void tnMapPointerScaled(int, int, int, int, int, int, int*, int*) {}
W void tnCreateGUI() {}
W void tnCreateAppIcons(bool) {}
W void tnPositionWidgets() {}
W void tnHandleHostListEvents(Fl_Widget*, void*) {}
W void tnHandleHostListButtons(Fl_Widget*, void*) {}
W void tnInsertEmptyItem() {}
W void tnDeleteItem(int) {}
W uint16_t tnItemNumFromItm(const HostItem*) { return 0; }
W void tnDeselectAllItems() {}
W void tnUpdateHostListItemText() {}
W HostItem* tnItemFromLine(int) { return nullptr; }
W int TNQuickNoteBox::handle(int e) { return Fl_Multiline_Output::handle(e); }
W int TNQuickNotePack::handle(int e) { return Fl_Pack::handle(e); }
W int TNQuickNoteInput::handle(int e) { return TNInput::handle(e); }
W void tnQuickInfoSetLabelAndText(HostItem*) {}
W void tnQuickInfoSetToEmpty() {}
W void tnCreateQuickNoteEditWidgets() {}
W void tnHideQuickNoteEditWidgets() {}
W void tnBlinkCursor(void*) {}
W int TNInput::handle(int e) { return Fl_Input::handle(e); }
W int TNSecretInput::handle(int e) { return Fl_Secret_Input::handle(e); }
W void tnPopUpEditMenu(Fl_Input_*) {}
W void tnEditMenuAction(Fl_Input_*, const char*) {}
W void tnSetAppTooltips() {}
W void tnEnableDisableTooltips() {}
W void tnShowAboutHelp() {}
W std::string tnAboutHelpText() { return ""; }
