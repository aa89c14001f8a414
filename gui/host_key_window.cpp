#include "gui/host_key_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Return_Button.H>

#include <string>

#include "connection/ssh_host_keys.h"

namespace {

// How often an open window looks whether its question has been withdrawn.
constexpr double tnWithdrawnCheckSeconds = 0.2;

class TNHostKeyWindow : public Fl_Double_Window {
public:
    explicit TNHostKeyWindow(std::shared_ptr<TNHostKeyQuestion> asked)
        : Fl_Double_Window(460, 250 + 40 * static_cast<int>(asked->keys.size()), tnHostKeyWindowTitle),
          question(std::move(asked)), text(tnHostKeyQuestionText(*question))
    {
        auto* message = new Fl_Box(15, 10, w() - 30, h() - 65);
        message->align(FL_ALIGN_INSIDE | FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_WRAP);
        message->labelsize(13);
        message->label(text.c_str());
        auto* trust = new Fl_Button(w() - 300, h() - 45, 150, 30, "Trust and connect");
        trust->callback(answered, this);
        auto* cancel = new Fl_Return_Button(w() - 135, h() - 45, 120, 30, "Cancel");
        cancel->callback(answered, this);
        end();
        callback(closed, this);
        Fl::add_timeout(tnWithdrawnCheckSeconds, checkWithdrawn, this);
    }

    ~TNHostKeyWindow() override { Fl::remove_timeout(checkWithdrawn, this); }

private:
    void close(TNHostKeyQuestion::Answer answer)
    {
        question->answer(answer);
        Fl::remove_timeout(checkWithdrawn, this);
        hide();
        Fl::delete_widget(this);
    }

    static void answered(Fl_Widget* button, void* data)
    {
        const bool trust = std::string(button->label()) == "Trust and connect";
        static_cast<TNHostKeyWindow*>(data)->close(trust ? TNHostKeyQuestion::Answer::Trust
                                                         : TNHostKeyQuestion::Answer::Cancel);
    }

    // Escape or the window manager's close.
    static void closed(Fl_Widget*, void* data)
    {
        static_cast<TNHostKeyWindow*>(data)->close(TNHostKeyQuestion::Answer::Cancel);
    }

    static void checkWithdrawn(void* data)
    {
        auto* window = static_cast<TNHostKeyWindow*>(data);
        if (window->question->current() != TNHostKeyQuestion::Answer::Open)
            window->close(TNHostKeyQuestion::Answer::Withdrawn);
        else
            Fl::repeat_timeout(tnWithdrawnCheckSeconds, checkWithdrawn, data);
    }

    std::shared_ptr<TNHostKeyQuestion> question;
    std::string text;
};

} // namespace

Fl_Window* tnOpenHostKeyWindow(std::shared_ptr<TNHostKeyQuestion> question)
{
    auto* window = new TNHostKeyWindow(std::move(question));
    window->show();
    return window;
}
