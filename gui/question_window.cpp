#include "gui/question_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Multiline_Output.H>
#include <FL/Fl_Return_Button.H>
#include <FL/fl_draw.H>

#include <string>

#include "connection/user_question.h"
#include "core/display_text.h"
#include "core/modal.h"

namespace {

constexpr double tnWithdrawnCheckSeconds = 0.25;

class TNQuestionWindow : public Fl_Double_Window {
public:
    explicit TNQuestionWindow(std::shared_ptr<TNUserQuestion> asked)
        : Fl_Double_Window(720, 340), question(std::move(asked)), title(tnDisplayText(question->text.title))
    {
        label(title.c_str());
        const int margin = 10;
        const int buttonHeight = 26;
        auto* text = new Fl_Multiline_Output(margin, margin, w() - 2 * margin, h() - 3 * margin - buttonHeight);
        // Fixed width, so that a fingerprint fits on one line.
        text->wrap(1);
        text->textfont(FL_COURIER);
        text->textsize(12);
        text->box(FL_THIN_DOWN_BOX);
        text->value(tnDisplayText(question->text.text, TNTextUse::MessageBox).c_str());
        // The buttons from the right: "Cancel" (Enter), then the others.
        int right = w() - margin;
        fl_font(FL_HELVETICA, 14);
        for (int i = 0; i < 3; i++) {
            const char* caption = question->text.buttons[i];
            if (!caption)
                continue;
            const int width = static_cast<int>(fl_width(caption)) + (i == 0 ? 50 : 24);
            right -= width;
            Fl_Button* button = i == 0 ? new Fl_Return_Button(right, h() - margin - buttonHeight, width, buttonHeight)
                                       : new Fl_Button(right, h() - margin - buttonHeight, width, buttonHeight);
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
        if (cancel)
            cancel->take_focus();
    }

private:
    std::shared_ptr<TNUserQuestion> question;
    std::string title;
    Fl_Widget* cancel = nullptr;

    void close(int button)
    {
        question->answer(button);
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

void tnShowQuestion(HostItem*, std::shared_ptr<TNUserQuestion> question)
{
    // Withdrawn before its window could open.
    if (!question || !question->isOpen())
        return;
    if (tnModalHooks().choice) {
        const int button = tnModalHooks().choice(question->text.title, question->text.text);
        const bool known = button > 0 && button < 3 && question->text.buttons[button];
        question->answer(known ? button : 0);
        return;
    }
    (new TNQuestionWindow(std::move(question)))->showWithFocus();
}
