// The connection options window: every stored setting of one host, a new host, deleting one.
#pragma once

class Fl_Box;
class Fl_Button;
class Fl_Check_Button;
class Fl_Group;
class Fl_Radio_Round_Button;
class Fl_Tabs;
class Fl_Widget;
class HostItem;
class TNInput;
class TNSecretInput;

// The open window's widgets; all null while it is closed.
struct TNItmOptsWidgets {
    TNInput* nameInput = nullptr;
    TNInput* groupInput = nullptr;
    TNInput* addressInput = nullptr;
    TNInput* f12MacroInput = nullptr;
    Fl_Radio_Round_Button* vncRadio = nullptr;
    Fl_Radio_Round_Button* vncSshRadio = nullptr;
    TNInput* vncPortInput = nullptr;
    TNSecretInput* vncPasswordInput = nullptr;
    TNInput* vncLoginUserInput = nullptr;
    TNSecretInput* vncLoginPasswordInput = nullptr;
    TNInput* compressionInput = nullptr;
    TNInput* qualityInput = nullptr;
    Fl_Group* scalingGroup = nullptr;
    Fl_Radio_Round_Button* scaleOffRadio = nullptr;
    Fl_Radio_Round_Button* scaleUpDownRadio = nullptr;
    Fl_Radio_Round_Button* scaleDownOnlyRadio = nullptr;
    Fl_Check_Button* fastScalingCheck = nullptr;
    Fl_Check_Button* remoteCursorCheck = nullptr;
    Fl_Check_Button* command1EnabledCheck = nullptr;
    TNInput* command1LabelInput = nullptr;
    TNInput* command1Input = nullptr;
    Fl_Check_Button* command2EnabledCheck = nullptr;
    TNInput* command2LabelInput = nullptr;
    TNInput* command2Input = nullptr;
    Fl_Check_Button* command3EnabledCheck = nullptr;
    TNInput* command3LabelInput = nullptr;
    TNInput* command3Input = nullptr;
    TNInput* sshUserInput = nullptr;
    TNInput* sshPortInput = nullptr;
    TNInput* sshKeyInput = nullptr;
    Fl_Button* sshKeyButton = nullptr;
    Fl_Button* deleteButton = nullptr;
    Fl_Button* cancelButton = nullptr;
    Fl_Button* saveButton = nullptr;
    Fl_Tabs* tabs = nullptr;
};
extern TNItmOptsWidgets ItmOpts;

// Opens the window for a host, or for a new host (null); does nothing while another child
// window is open.
void tnShowItemOptions(HostItem* itm);
// Delete, Cancel and Save.
void tnHandleItmOptionsButtons(Fl_Widget* widget, void*);
void tnItmOptionsChoosePrvKeyBtnCallback(Fl_Widget*, void* keyInput);
void tnItmOptionsRadioButtonsCallback(Fl_Widget* button, void*);
