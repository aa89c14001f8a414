// A question for the user that a connection's worker asks during an attempt (a server's
// certificate, a server that asks for no password, an SSH host key, a password): the worker
// hands it to the front end and waits, the window's thread shows it and answers it, and an
// attempt that ends meanwhile withdraws it, which closes its window unanswered. Any thread.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

// What the question's window shows. Button 0 is always "Cancel"; the others say what they do.
struct TNQuestionText {
    std::string title;
    std::string text;
    const char* buttons[3] = {nullptr, nullptr, nullptr};
};

// What the user typed into a password question.
struct TNCredentials {
    std::string user;
    std::string password;
    bool remember = false;   // "Remember": keep it as the host's password
};

class TNUserQuestion {
public:
    explicit TNUserQuestion(TNQuestionText text) : text(std::move(text)) {}

    const TNQuestionText text;
    // A password question: its window has a password field, a user-name field when
    // `asksUser` (showing `user` at first) and "Remember"; button 1 sends what was typed.
    bool asksPassword = false;
    bool asksUser = false;
    std::string user;

    // The user chose `button` (0: "Cancel"), with what was typed; the first answer counts,
    // and none after the question was withdrawn.
    void answer(int button, TNCredentials typed = {});
    // Neither answered nor withdrawn.
    bool isOpen() const;
    bool isWithdrawn() const;
    // The worker waits for the answer, or until `stopped` says the attempt ended (looked at
    // ten times a second): then the question is withdrawn and the answer is 0.
    int waitForAnswer(const std::function<bool()>& stopped);
    // What was typed with the answer.
    TNCredentials credentials() const;

private:
    mutable std::mutex lock;
    std::condition_variable answered;
    int chosen = -1;
    bool withdrawn = false;
    TNCredentials typed;
};
