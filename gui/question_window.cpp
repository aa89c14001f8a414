#include "gui/question_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Multiline_Output.H>
#include <FL/Fl_Return_Button.H>
#include <FL/fl_draw.H>

#include <string>

#include "config/host_item.h"
#include "config/keyring.h"
#include "connection/user_question.h"
#include "core/display_text.h"
#include "core/log.h"
#include "gui/modal.h"
#include "core/options.h"
#include "gui/config_io.h"
#include "gui/inputs.h"

namespace {

constexpr double tnWithdrawnCheckSeconds = 0.25;

// "Remember": the typed password becomes the host's, kept as its passwords are kept (the
// file, or the keyring while the option is on); a typed user name goes into the file.
void tnRememberTyped(HostItem* itm, bool login, const TNCredentials& typed)
{
    if (!itm || itm->isListener)
        return;
    if (login)
        itm->vncLoginUser = typed.user;
    if (appOptions.passwordsInKeyring) {
        const TNKeyringHost host = tnKeyringHostOf(*itm);
        const TNPasswordField field = login ? TNPasswordField::VncLogin : TNPasswordField::Vnc;
        const std::string password = typed.password;
        // The keyring may take seconds: the window does not wait for it.
        tnKeyringRun([host, field, password] {
            const TNKeyringResult result = tnKeyringStore(host, field, password);
            if (!result.ok())
                tnLogToFile("ERROR - The password of '" + host.name + "' could not be kept in the keyring: " +
                            result.message);
        });
        if (!login)
            return;
    } else {
        (login ? itm->vncLoginPassword : itm->vncPassword) = typed.password;
    }
    tnConfigWrite();
}

// The answer goes to the worker; a password the user chose to keep is remembered first
// (unless the attempt has ended meanwhile).
void tnAnswerQuestion(HostItem* itm, TNUserQuestion& question, int button, const TNCredentials& typed)
{
    if (question.asksPassword && button == 1 && typed.remember && question.isOpen())
        tnRememberTyped(itm, question.asksUser, typed);
    question.answer(button, typed);
}

class TNQuestionWindow : public Fl_Double_Window {
public:
    TNQuestionWindow(HostItem* itm, std::shared_ptr<TNUserQuestion> asked)
        : Fl_Double_Window(asked->asksPassword ? 480 : 720, asked->asksPassword ? 160 + rowsOf(*asked) * 34 : 340),
          itm(itm), question(std::move(asked)), title(tnDisplayText(question->text.title))
    {
        label(title.c_str());
        const int margin = 10;
        const int buttonHeight = 26;
        const bool asksPassword = question->asksPassword;
        const int rows = rowsOf(*question);
        const int fieldsTop = h() - 2 * margin - buttonHeight - rows * 34;
        const int textHeight = fieldsTop - margin - (rows ? margin : 0);
        auto* text = new Fl_Multiline_Output(margin, margin, w() - 2 * margin, textHeight);
        text->wrap(1);
        // Fixed width for a certificate or a host key, so that a fingerprint fits on one line.
        text->textfont(asksPassword ? FL_HELVETICA : FL_COURIER);
        text->textsize(asksPassword ? 14 : 12);
        text->box(FL_THIN_DOWN_BOX);
        text->value(tnDisplayText(question->text.text, TNTextUse::MessageBox).c_str());
        if (asksPassword)
            addPasswordFields(fieldsTop);
        // The buttons from the right: "Cancel", then the others. Enter: "Cancel", or for a
        // password the button that sends it.
        int right = w() - margin;
        fl_font(FL_HELVETICA, 14);
        for (int i = 0; i < 3; i++) {
            const char* caption = question->text.buttons[i];
            if (!caption)
                continue;
            const bool isDefault = (i == 0) != asksPassword;
            const int width = static_cast<int>(fl_width(caption)) + (isDefault ? 50 : 24);
            right -= width;
            const int top = h() - margin - buttonHeight;
            Fl_Button* button = isDefault ? new Fl_Return_Button(right, top, width, buttonHeight)
                                          : new Fl_Button(right, top, width, buttonHeight);
            button->label(caption);
            button->callback(chosen, reinterpret_cast<void*>(static_cast<intptr_t>(i)));
            if (i == 0)
                cancel = button;
            right -= margin;
        }
        end();
        resizable(text);
        // Escape and the window manager's close: "Cancel".
        callback([](Fl_Widget* window, void*) { static_cast<TNQuestionWindow*>(window)->close(0); });
        Fl::add_timeout(tnWithdrawnCheckSeconds, checkWithdrawn, this);
    }

    ~TNQuestionWindow() override { Fl::remove_timeout(checkWithdrawn, this); }

    void showWithFocus()
    {
        show();
        Fl_Widget* first = user && !*user->value() ? user : password ? password : cancel;
        if (first)
            first->take_focus();
    }

private:
    // The rows of fields under the text: user name, password, "Remember".
    static int rowsOf(const TNUserQuestion& question)
    {
        return question.asksPassword ? 2 + (question.asksUser ? 1 : 0) : 0;
    }

    HostItem* itm;
    std::shared_ptr<TNUserQuestion> question;
    std::string title;
    Fl_Widget* cancel = nullptr;
    Fl_Input* user = nullptr;
    TNSecretInput* password = nullptr;
    Fl_Check_Button* remember = nullptr;

    // The user name (for the user-and-password types), the password and "Remember", from
    // `top` down.
    void addPasswordFields(int top)
    {
        const int left = 110;
        if (question->asksUser) {
            user = new Fl_Input(left, top, w() - left - 10, 26, "User name:");
            user->value(question->user.c_str());
            top += 34;
        }
        password = new TNSecretInput(left, top, w() - left - 10, 26, "Password:");
        remember = new Fl_Check_Button(left, top + 34, w() - left - 10, 26, "Remember");
        if (!itm || itm->isListener)
            remember->deactivate();
    }

    void close(int button)
    {
        TNCredentials typed;
        if (password) {
            typed.user = user ? user->value() : question->user;
            typed.password = password->value();
            typed.remember = remember->value() != 0;
        }
        tnAnswerQuestion(itm, *question, button, typed);
        Fl::remove_timeout(checkWithdrawn, this);
        hide();
        Fl::delete_widget(this);
    }

    static void chosen(Fl_Widget* button, void* index)
    {
        static_cast<TNQuestionWindow*>(button->window())->close(static_cast<int>(reinterpret_cast<intptr_t>(index)));
    }

    static void checkWithdrawn(void* data)
    {
        auto* window = static_cast<TNQuestionWindow*>(data);
        if (window->question->isWithdrawn())
            window->close(0);
        else
            Fl::repeat_timeout(tnWithdrawnCheckSeconds, checkWithdrawn, data);
    }

};

} // namespace

void tnShowQuestion(HostItem* itm, std::shared_ptr<TNUserQuestion> question)
{
    // Withdrawn before its window could open.
    if (!question || !question->isOpen())
        return;
    const TNModalHooks& hooks = tnModalHooks();
    if (question->asksPassword ? static_cast<bool>(hooks.password) : static_cast<bool>(hooks.choice)) {
        int button = 0;
        TNCredentials typed{question->user, "", false};
        if (question->asksPassword)
            button = hooks.password(question->text.title, question->text.text, typed.user, typed.password,
                                    typed.remember);
        else
            button = hooks.choice(question->text.title, question->text.text);
        const bool known = button > 0 && button < 3 && question->text.buttons[button];
        tnAnswerQuestion(itm, *question, known ? button : 0, typed);
        return;
    }
    (new TNQuestionWindow(itm, std::move(question)))->showWithFocus();
}
