// The application options window.
#pragma once

#include <string>

class Fl_Button;
class Fl_Check_Button;
class Fl_Spinner;
class Fl_Widget;
class TNInput;

// The open window's widgets; all null while it is closed.
struct TNAppOptsWidgets {
    Fl_Spinner* scanWaitSpinner = nullptr;
    Fl_Spinner* sshPortSpinner = nullptr;
    Fl_Spinner* overviewRefreshSpinner = nullptr;
    TNInput* sshCommandInput = nullptr;
    Fl_Check_Button* logToFileCheck = nullptr;
    TNInput* appFontSizeInput = nullptr;
    TNInput* listFontInput = nullptr;
    TNInput* listFontSizeInput = nullptr;
    TNInput* listWidthInput = nullptr;
    Fl_Check_Button* colorBlindIconsCheck = nullptr;
    Fl_Check_Button* showTooltipsCheck = nullptr;
    Fl_Check_Button* reverseNoticeCheck = nullptr;
    Fl_Check_Button* middleButtonCheck = nullptr;
    Fl_Check_Button* reverseLocalOnlyCheck = nullptr;
    Fl_Check_Button* keyringCheck = nullptr;
    Fl_Check_Button* reconnectCheck = nullptr;
    Fl_Button* cancelButton = nullptr;
    Fl_Button* saveButton = nullptr;
};
extern TNAppOptsWidgets AppOpts;

// Ranges of the two spinners: the scan wait is kept in 16 bits, and the 99 ports a tunnel
// searches from the starting one must all be TCP ports. (The rules that read the typed
// texts are the configuration's: tnSpinnerValueFromText, tnIntegerFromText.)
constexpr int tnScanWaitMin = 1;
constexpr int tnScanWaitMax = 65535;
constexpr int tnLocalPortMin = 1;
constexpr int tnLocalPortMax = 65436;

// Opens the window; does nothing while another child window is open.
void tnShowAppOptions();
// Cancel and Save.
void tnHandleAppOptionsButtons(Fl_Widget* widget, void* data);
