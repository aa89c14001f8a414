// A wrong or missing password is asked for in a window of the host, against real servers that
// ask for one (VNC authentication, and VeNCrypt Plain's user name and password): typed again
// after a refusal, remembered in the file when the user says so, today's failure on "Cancel",
// and the window closes when the host or the program ends while it is open.
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Input.H>

#include "config/base64.h"
#include "connection/front_end.h"
#include "connection/password_question.h"
#include "gui/config_io.h"
#include "rfb/rfb_fixture.h"

namespace {

const char kBadPassword[] = "Bad / missing password or Resource temporarily unavailable";

TNTestServerOptions tnServerAsking(const std::string& user, const std::string& password)
{
    TNTestServerOptions options;
    if (user.empty()) {
        options.password = password;
    } else {
        options.plainUser = user;
        options.plainPassword = password;
    }
    return options;
}

class PasswordWindow : public TNConnectionTest {
protected:
    // What each password window showed, and the answers given in turn (button, user, password,
    // "Remember"); a window past the answers is cancelled.
    struct Answer {
        int button;
        std::string user;
        std::string password;
        bool remember;
    };
    std::vector<std::pair<std::string, std::string>> asked;   // text, user name shown
    std::vector<Answer> answers;

    void SetUp() override
    {
        TNConnectionTest::SetUp();
        tnModalHooks().password = [this](const std::string& title, const std::string& text, std::string& user,
                                          std::string& password, bool& remember) {
            EXPECT_EQ(title, tnPasswordWindowTitle);
            asked.emplace_back(text, user);
            if (asked.size() > answers.size())
                return 0;
            const Answer& answer = answers[asked.size() - 1];
            user = answer.user;
            password = answer.password;
            remember = answer.remember;
            return answer.button;
        };
    }

    // Connects `itm` and waits for the outcome; true when connected.
    bool attempt(HostItem* itm)
    {
        VncObject::createVNCObject(itm);
        EXPECT_TRUE(waitFor(
            [itm] {
                return !tnResultOwed(tnStateOf(itm)) &&
                       ((tnIsConnected(itm) && tnHostStatusImage(itm) == app->iconConnected) || (tnStateOf(itm) == TNConnectionState::Failed));
            },
            20.0))
            << logText();
        return tnIsConnected(itm);
    }

    std::string file() const { return tnTestReadFile(appOptions.configPathAndFile); }
};

// Wrong, then right: each refusal asks again and the host starts over with what was typed;
// a missing password is asked for before anything is sent. "Remember" keeps the typed one
// as the host's (the file); without it the host keeps what it had.
TEST_F(PasswordWindow, TypedAgainUntilTheServerTakesItAndRememberedWhenAsked)
{
    const struct {
        const char* name;
        std::string serverUser;       // empty: VNC authentication
        std::string storedUser;
        std::string storedPassword;
        std::vector<Answer> answers;
        std::vector<std::string> texts;   // the start of each window's text, in turn
    } cases[] = {
        {"wrong, wrong, then right and remembered", "", "", "wrong",
         {{1, "", "nope", false}, {1, "", "secret12", true}},
         {"The server of wrong, wrong, then right and remembered (127.0.0.1) refused the password",
          "The server of"}},
        {"missing, typed right, not remembered", "", "", "",
         {{1, "", "secret12", false}},
         {"missing, typed right, not remembered (127.0.0.1) asks for a password:"}},
        {"user and password missing, typed wrong, then right", "anna", "", "",
         {{1, "anna", "nope", false}, {1, "anna", "secret12", true}},
         {"user and password missing, typed wrong, then right (127.0.0.1) asks for a user name and password:",
          "The server of user and password missing, typed wrong, then right (127.0.0.1) refused the user name and "
          "password"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        asked.clear();
        answers = c.answers;
        const int port = startServer(tnServerAsking(c.serverUser, "secret12"))->port();
        HostItem* itm = addHost(c.name, port);
        itm->vncPassword = c.storedPassword;
        itm->vncLoginUser = c.storedUser;
        tnConfigWrite();
        const std::string before = file();

        ASSERT_TRUE(attempt(itm)) << logText();
        EXPECT_EQ(tnLastErrorOf(itm), "");
        ASSERT_EQ(asked.size(), c.texts.size());
        for (size_t i = 0; i < asked.size(); i++)
            EXPECT_EQ(asked[i].first.rfind(c.texts[i], 0), 0u) << asked[i].first;
        const bool remembered = c.answers.back().remember;
        std::string& held = c.serverUser.empty() ? itm->vncPassword : itm->vncLoginPassword;
        EXPECT_EQ(held, remembered ? "secret12" : c.storedPassword);
        if (remembered) {
            EXPECT_NE(file().find("=" + base64Encode(reinterpret_cast<const unsigned char*>("secret12"), 8) + "\n"),
                      std::string::npos)
                << file();
        } else {
            EXPECT_EQ(file(), before);
        }
        if (!c.serverUser.empty()) {
            EXPECT_EQ(asked[0].second, "") << "the window shows the user name held";
            EXPECT_EQ(asked[1].second, "anna") << "and then the one typed";
            EXPECT_EQ(itm->vncLoginUser, "anna");
        }
        // One attempt, and one more after each refusal.
        int refusals = 0;
        for (const auto& question : asked)
            refusals += question.first.rfind("The server of", 0) == 0 ? 1 : 0;
        EXPECT_EQ(countOf(logText(), "Attempting to connect to '" + std::string(c.name) + "'"), 1 + refusals);
        tnDisconnect(itm);
    }
}

// "Cancel": the attempt fails as it did before there was a window, and is not asked again.
TEST_F(PasswordWindow, CancelKeepsTheFailureAndItsText)
{
    const int port = startServer(tnServerAsking("", "secret12"))->port();
    for (const char* stored : {"", "wrong"}) {
        SCOPED_TRACE(stored);
        asked.clear();
        HostItem* itm = addHost(std::string("cancelled ") + stored, port, stored);
        EXPECT_FALSE(attempt(itm));
        EXPECT_EQ(tnLastErrorOf(itm), kBadPassword);
        EXPECT_EQ(tnHostStatusImage(itm), app->iconDisconnectedBigError);
        EXPECT_EQ(asked.size(), 1u);
        EXPECT_EQ(itm->vncPassword, stored);
    }
}

// The window itself: typed into and sent with "Remember"; and closed without an answer when
// the host is disconnected or deleted, or the program ends, while it is open.
TEST_F(PasswordWindow, TheWindowAnswersAndClosesWhenItsAttemptEnds)
{
    tnModalHooks().password = nullptr;
    const int port = startServer(tnServerAsking("", "secret12"))->port();
    const auto window = [] { return questionWindow(tnPasswordWindowTitle); };

    HostItem* typed = addHost("typed", port, "wrong");
    VncObject::createVNCObject(typed);
    ASSERT_TRUE(waitFor([&] { return window() != nullptr; }, 20.0)) << logText();
    EXPECT_TRUE((tnStateOf(typed) == TNConnectionState::Connecting)) << "the attempt waits for the window";
    auto* password = dynamic_cast<Fl_Input*>(childLabelled(window(), "Password:"));
    auto* remember = dynamic_cast<Fl_Check_Button*>(childLabelled(window(), "Remember"));
    ASSERT_TRUE(password && remember);
    password->value("secret12");
    remember->value(1);
    childLabelled(window(), "Connect")->do_callback();
    ASSERT_TRUE(waitFor([typed] { return tnIsConnected(typed) && tnHostStatusImage(typed) == app->iconConnected; }, 20.0))
        << logText();
    EXPECT_EQ(window(), nullptr);
    EXPECT_EQ(typed->vncPassword, "secret12");

    const char* const endings[] = {"disconnected", "deleted", "program ends"};
    for (const std::string ending : endings) {
        SCOPED_TRACE(ending);
        HostItem* itm = addHost(ending, port);
        VncObject::createVNCObject(itm);
        ASSERT_TRUE(waitFor([&] { return window() != nullptr; }, 20.0)) << logText();
        if (ending == "disconnected") {
            tnClickHostLine(lineOf(itm), 3);
        } else if (ending == "deleted") {
            tnDeleteItem(lineOf(itm));
            EXPECT_EQ(tnHostList().find(itm), TNHostListModel::none);
        } else {
            tnEndAllConnections();
            EXPECT_TRUE(tnWaitForWorkers(2.0)) << "the worker still waits";
        }
        EXPECT_TRUE(waitFor([&] { return window() == nullptr; }, 5.0)) << "the window stays";
        EXPECT_TRUE(waitFor([itm] { return !tnResultOwed(tnStateOf(itm)); }, 5.0));
        EXPECT_FALSE(tnIsConnected(itm));
        EXPECT_EQ(itm->vncPassword, "");
    }
}

} // namespace
