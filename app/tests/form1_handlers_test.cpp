// The window's behaviour, without a window system: the handlers against controls held
// in memory.
#include "form1_handlers.h"
#include "module1.h"
#include "paths.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>

using namespace carrowin::app;
namespace t = carrowin::testing;
namespace fs = std::filesystem;

namespace {

struct Box {
    std::string text;
    MessageKind kind;
    bool windowShown;
};

// The controls as the window creates them, and what the window system would do.
class FakeView : public Form1View {
public:
    struct State {
        std::string text;
        int value = 0;
        bool visible = true;
        bool enabled = true;
        std::vector<std::string> list;
    };

    FakeView()
    {
        at(Control::sopt2).value = -1;
        at(Control::fpref1) = {"File", 0, true, false, {}};
        at(Control::prog1).visible = false;
    }

    State& at(Control c) { return m_controls[c]; }
    // A control the window has not set yet: a handler reads it too early.
    const State& at(Control c) const
    {
        const auto found = m_controls.find(c);
        if (found == m_controls.end())
            throw std::logic_error(std::string("the view's ") + nameOf(c) + " is read before anything set it");
        return found->second;
    }

    std::string text(Control c) const override { return at(c).text; }
    void setText(Control c, const std::string& text) override { at(c).text = text; }
    int value(Control c) const override { return at(c).value; }
    void setValue(Control c, int value) override { at(c).value = value; }
    bool isVisible(Control c) const override { return at(c).visible; }
    void setVisible(Control c, bool visible) override
    {
        at(c).visible = visible;
        if (!visible && focus == c) // the focus goes with a hidden control, to none
            focus.reset();
    }
    void setEnabled(Control c, bool enabled) override { at(c).enabled = enabled; }
    bool hasFocus(Control c) const override { return focus == c; }
    void setFocus(Control c) override { focus = c; }
    void clearList(Control c) override { at(c).list.clear(), at(c).text.clear(); }
    void addListEntries(Control c, const std::vector<std::string>& entries) override
    {
        auto& list = at(c).list;
        list.insert(list.end(), entries.begin(), entries.end());
        if (c == Control::infil1) // the box sorts, ignoring case
            std::stable_sort(list.begin(), list.end(), [](const std::string& a, const std::string& b) {
                return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                                    [](char x, char y) { return std::toupper(x) < std::toupper(y); });
            });
    }
    int listCount(Control c) const override { return static_cast<int>(at(c).list.size()); }
    std::string listEntry(Control c, int i) const override
    {
        return i < listCount(c) ? at(c).list[static_cast<std::size_t>(i)] : std::string();
    }
    void showMessage(const std::string& text, MessageKind kind) override
    {
        boxes.push_back({text, kind, shown});
        if (onBox)
            onBox();
    }
    void setBusyPointer(bool on) override { busy = on; }
    void processPendingEvents() override
    {
        ++yields;
        if (onEvents)
            onEvents();
    }
    void showWindow() override { shown = true; }
    std::chrono::milliseconds frameInterval() const override { return frame; }

    std::vector<Box> boxes;
    std::optional<Control> focus;
    bool shown = false;
    bool busy = false;
    int yields = 0;
    std::chrono::milliseconds frame{0};
    std::function<void()> onEvents; // what the user does while the run yields
    std::function<void()> onBox;    // checks made while a message box is up

private:
    std::map<Control, State> m_controls;
};

// A user's store with its mail folder, a place for output, and the window.
class Window : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(mail());
        fs::create_directories(out());
        t::useStoreRoot(dir.path(), t::utf8(dir / "store"));
        Module1::CancelRequested = Module1::False;
    }
    void TearDown() override { t::useNoStore(dir.path()); }

    fs::path mail() const { return dir / "store" / "mail"; }
    fs::path out() const { return dir / "out"; }
    std::string mailFolder() const
    {
        const char sep = carrowin::text::kPathSeparator;
        return t::utf8(dir / "store") + sep + "mail" + sep;
    }
    void mailbox(const std::string& name, const std::vector<std::string>& messages)
    {
        t::writeFile(mail() / t::pathOf(name), t::mailbox(messages));
    }
    static std::vector<std::string> messages(int n, const std::string& subject = "Message")
    {
        std::vector<std::string> m;
        for (int i = 0; i < n; ++i)
            m.push_back(t::mail(subject + " " + std::to_string(i)));
        return m;
    }
    long written() const
    {
        return static_cast<long>(std::distance(fs::directory_iterator(out()), fs::directory_iterator()));
    }
    // The files a counter caption ("File 12") counts; none before the first.
    static long counted(const std::string& caption)
    {
        return caption.empty() ? 0 : std::stol(caption.substr(5));
    }
    // Loads the window and points its output at out().
    void load()
    {
        form.Form_Load();
        view.setText(Control::outpth1, t::utf8(out()));
    }
    void expectIdle() const
    {
        EXPECT_FALSE(view.at(Control::Command1).visible);
        EXPECT_FALSE(view.at(Control::Label1).visible);
        EXPECT_FALSE(view.at(Control::prog1).visible);
        EXPECT_TRUE(view.at(Control::cmdx1).visible);
        EXPECT_FALSE(view.busy);
        EXPECT_EQ(view.text(Control::fpref1), "File");
        EXPECT_FALSE(form.isRunning());
    }

    t::TempDir dir;
    FakeView view;
    Form1Handlers form{view};
};

} // namespace

TEST(MailboxPath, JoinsTheFolderAndTheMailboxAndRefusesEitherEmpty)
{
    EXPECT_THROW(mailboxPath("", "Inbox.mbx"), std::runtime_error);
    EXPECT_THROW(mailboxPath("/mail", ""), std::runtime_error);
    EXPECT_EQ(mailboxPath("mail", "Inbox.mbx"), mailboxPath(std::string("mail") + carrowin::text::kPathSeparator, "Inbox.mbx"));
    if (carrowin::text::kPathSeparator == '\\') { // forward slashes separate as backslashes do
        EXPECT_EQ(mailboxPath("C:/mail/", "Inbox.mbx"), "C:/mail/Inbox.mbx");
        EXPECT_EQ(mailboxPath("C:/mail", "Inbox.mbx"), "C:/mail\\Inbox.mbx");
        EXPECT_EQ(mailboxPath("C:\\mail\\", "Inbox.mbx"), "C:\\mail\\Inbox.mbx");
    }
}

TEST_F(Window, LoadProposesTheStoreAndSeedsEveryField)
{
    for (const char* name : {"Sent.mbx", "Inbox.mbx", "Archive.mbx"})
        mailbox(name, messages(1));
    Module1::CancelRequested = Module1::True;
    form.Form_Load();
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_TRUE(view.shown);
    EXPECT_EQ(Module1::CancelRequested, Module1::False);
    EXPECT_EQ(view.at(Control::inpth1).list, std::vector<std::string>{mailFolder()});
    EXPECT_EQ(view.text(Control::inpth1), mailFolder());
    EXPECT_EQ(view.at(Control::infil1).list, (std::vector<std::string>{"Archive.mbx", "Inbox.mbx", "Sent.mbx"}));
    EXPECT_EQ(view.text(Control::infil1), "Inbox.mbx");
    EXPECT_EQ(view.value(Control::sopt1), -1);
    EXPECT_EQ(view.value(Control::sopt2), 0);
    EXPECT_EQ(view.value(Control::Check1), 1);
    EXPECT_TRUE(view.at(Control::fpref1).enabled);
    EXPECT_EQ(view.text(Control::fpref1), "File");
    EXPECT_EQ(view.text(Control::outpth1), t::utf8(fs::current_path()));
    EXPECT_TRUE(view.at(Control::cmdx1).visible);
    EXPECT_FALSE(view.at(Control::Command1).visible);
    EXPECT_FALSE(view.at(Control::Label1).visible);
    EXPECT_FALSE(view.at(Control::prog1).visible);
}

TEST_F(Window, LoadWithoutAStoreReportsBeforeTheWindowShowsAndOpensEmpty)
{
    t::useNoStore(dir.path());
    form.Form_Load();
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, "Registry read error 2");
    EXPECT_EQ(view.boxes[0].kind, MessageKind::Plain);
    EXPECT_FALSE(view.boxes[0].windowShown);
    EXPECT_TRUE(view.shown);
    EXPECT_TRUE(view.at(Control::inpth1).list.empty());
    EXPECT_EQ(view.text(Control::inpth1), "");
    EXPECT_TRUE(view.at(Control::infil1).list.empty());
    EXPECT_TRUE(view.at(Control::cmdx1).visible);
}

TEST_F(Window, NamingModeSwitchesSetAllFourControls)
{
    form.Form_Load();
    form.sopt2_Click();
    EXPECT_EQ(view.value(Control::Check1), 2);
    EXPECT_TRUE(view.at(Control::fpref1).enabled);
    EXPECT_EQ(view.value(Control::sopt1), 0);
    EXPECT_EQ(view.value(Control::sopt2), -1);
    view.setText(Control::fpref1, "Mine");
    form.sopt1_Click();
    EXPECT_EQ(view.value(Control::Check1), 1);
    EXPECT_FALSE(view.at(Control::fpref1).enabled);
    EXPECT_EQ(view.text(Control::fpref1), "Mine");
    // The user's choice in "Remove Re:" holds until the next switch, which checks it again.
    view.setValue(Control::Check1, 0);
    form.sopt1_Click();
    EXPECT_EQ(view.value(Control::Check1), 1);
}

TEST_F(Window, RunWritesEveryMessageAndEndsIdleAfterItsMessage)
{
    mailbox("Inbox.mbx", {t::mail("Re: Lunch"), t::mail("Lunch"), "Newsgroups: alt.x\r\nSubject: News\r\n\r\nx"});
    load();
    bool checked = false;
    view.onBox = [&] {
        // The message comes while the hourglass and the counter are still on.
        EXPECT_TRUE(view.busy);
        EXPECT_TRUE(view.at(Control::prog1).visible);
        EXPECT_EQ(view.text(Control::prog1), "File 3");
        checked = true;
    };
    form.cmdx1_Click();
    EXPECT_TRUE(checked);
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, "Extraction Complete");
    EXPECT_EQ(view.boxes[0].kind, MessageKind::Plain);
    expectIdle();
    EXPECT_EQ(view.text(Control::outpth1), t::utf8(out()) + carrowin::text::kPathSeparator);
    EXPECT_EQ(t::readFile(out() / "Lunch.eml"), t::padded(t::mail("Re: Lunch")));
    EXPECT_EQ(t::readFile(out() / "Lunch(1).eml"), t::padded(t::mail("Lunch")));
    EXPECT_TRUE(fs::exists(out() / "News.nws"));
    EXPECT_EQ(view.yields, 3);
}

// Whoever pressed Extract has Cancel under the keyboard during the run and Extract after
// it; a focus elsewhere is left where it is.
TEST_F(Window, TheFocusFollowsTheButtonThatTheRunShows)
{
    mailbox("Inbox.mbx", messages(2));
    load();
    std::vector<std::optional<Control>> during;
    view.onEvents = [&] { during.push_back(view.focus); };
    view.setFocus(Control::cmdx1);
    form.cmdx1_Click();
    EXPECT_EQ(during, (std::vector<std::optional<Control>>{Control::Command1, Control::Command1}));
    EXPECT_EQ(view.focus, Control::cmdx1);

    view.setFocus(Control::outpth1);
    form.cmdx1_Click();
    EXPECT_EQ(view.focus, Control::outpth1);
}

TEST_F(Window, CancelStopsBeforeTheNextRecordAndTheNextRunStartsAfresh)
{
    mailbox("Inbox.mbx", messages(50));
    load();
    view.onEvents = [&] { form.Command1_Click(); };
    form.cmdx1_Click();
    EXPECT_TRUE(view.boxes.empty());
    expectIdle();
    EXPECT_EQ(Module1::CancelRequested, Module1::True);
    EXPECT_EQ(written(), 1);
    EXPECT_EQ(view.text(Control::prog1), "File 1") << "the count is that of the files there";
    view.onEvents = nullptr;
    form.cmdx1_Click();
    EXPECT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(written(), 51);
}

TEST_F(Window, ClosingDuringARunEndsItAndLeavesTheWindowAlone)
{
    mailbox("Inbox.mbx", messages(50));
    load();
    view.onEvents = [&] { form.Form_Unload(); };
    form.cmdx1_Click();
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_FALSE(form.isRunning());
    EXPECT_EQ(Module1::Form1Ref, nullptr);
    EXPECT_EQ(Module1::CancelRequested, Module1::True);
    EXPECT_TRUE(view.at(Control::prog1).visible) << "a closed window is not reset";
    EXPECT_EQ(written(), 1);
}

TEST_F(Window, NoSecondRunInsideTheFirst)
{
    mailbox("Inbox.mbx", messages(30, "First"));
    load();
    view.onEvents = [&] {
        view.onEvents = nullptr;
        form.inpth1_LostFocus(); // rebuilds the list and finds Inbox.mbx
        EXPECT_FALSE(view.at(Control::cmdx1).visible);
        form.cmdx1_Click(); // must not start a second run
    };
    form.cmdx1_Click();
    EXPECT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(written(), 30);
    expectIdle();
}

TEST_F(Window, FailuresEndIdleWithAMessageThatNamesThem)
{
    mailbox("Inbox.mbx", messages(2));
    load();
    view.setText(Control::infil1, "Nope.mbx");
    form.cmdx1_Click();
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_NE(view.boxes[0].text.find("Nope.mbx"), std::string::npos);
    EXPECT_NE(view.boxes[0].text.find(t::missingFileCode().message()), std::string::npos) << view.boxes[0].text;
    EXPECT_EQ(view.boxes[0].kind, MessageKind::Error);
    EXPECT_FALSE(fs::exists(mail() / "Nope.mbx"));
    expectIdle();

    view.setText(Control::infil1, "Inbox.mbx");
    view.setText(Control::outpth1, t::utf8(dir / "missing"));
    form.cmdx1_Click();
    ASSERT_EQ(view.boxes.size(), 2u);
    EXPECT_NE(view.boxes[1].text.find("missing"), std::string::npos);
    expectIdle();

    view.setText(Control::outpth1, "");
    form.cmdx1_Click();
    ASSERT_EQ(view.boxes.size(), 3u);
    EXPECT_NE(view.boxes[2].text.find("output folder"), std::string::npos);
    view.setText(Control::inpth1, "");
    form.cmdx1_Click();
    ASSERT_EQ(view.boxes.size(), 4u);
    EXPECT_NE(view.boxes[3].text.find("input folder"), std::string::npos);
    expectIdle();
    EXPECT_EQ(written(), 0);
}

TEST_F(Window, ARefusedPrefixStaysInItsBoxToBeCorrected)
{
    mailbox("Inbox.mbx", messages(2));
    load();
    form.sopt2_Click();
    view.setText(Control::fpref1, "Mail\tbox");
    form.cmdx1_Click();
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_NE(view.boxes[0].text.find("U+0009"), std::string::npos) << view.boxes[0].text;
    EXPECT_EQ(view.text(Control::fpref1), "Mail\tbox");
    EXPECT_EQ(written(), 0);
    EXPECT_TRUE(view.at(Control::cmdx1).visible);
}

TEST_F(Window, AnyFailureEndsTheRunInWordsNotTheProgram)
{
    mailbox("Inbox.mbx", messages(3));
    load();
    view.onEvents = [] { throw std::bad_alloc(); }; // memory running out after the first file
    view.onBox = [&] { EXPECT_EQ(view.text(Control::prog1), "File 1") << "the count is that of the files there"; };
    form.cmdx1_Click();
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_NE(view.boxes[0].text.find("not enough memory"), std::string::npos) << view.boxes[0].text;
    EXPECT_EQ(view.boxes[0].kind, MessageKind::Error);
    EXPECT_EQ(written(), 1);
    expectIdle();
}

TEST_F(Window, SettingsChangedDuringARunApplyFromTheNextRecord)
{
    mailbox("Inbox.mbx", messages(3, "Subject"));
    load();
    view.onEvents = [&] {
        view.onEvents = nullptr;
        form.sopt2_Click();
        view.setText(Control::fpref1, "Typed"); // what the user types
    };
    form.cmdx1_Click();
    EXPECT_TRUE(fs::exists(out() / "Subject 0.eml"));
    EXPECT_TRUE(fs::exists(out() / "Typed.eml"));
    EXPECT_TRUE(fs::exists(out() / "Typed(1).eml"));
    EXPECT_EQ(view.text(Control::fpref1), "File");
}

TEST_F(Window, CaptionsAreDrawnOncePerFrameAndCurrentAtTheEnd)
{
    mailbox("Inbox.mbx", messages(20));
    load();
    form.sopt2_Click();
    view.setText(Control::fpref1, "Mail");
    view.frame = std::chrono::hours(1);
    std::vector<std::string> shown;
    view.onEvents = [&] {
        shown.push_back(view.text(Control::prog1));
        // What the counter counts and the prefix box names is on the disk.
        EXPECT_LE(counted(view.text(Control::prog1)), written());
        const std::string name = view.text(Control::fpref1);
        EXPECT_TRUE(name == "Mail" || fs::exists(out() / (name + ".eml"))) << name;
    };
    view.onBox = [&] {
        EXPECT_EQ(view.text(Control::prog1), "File 20");
        EXPECT_EQ(view.text(Control::fpref1), "Mail(19)");
    };
    form.cmdx1_Click();
    ASSERT_EQ(shown.size(), 20u);
    // Nothing until the first file is named; then drawn once, and not again within the frame.
    const auto first = std::find_if(shown.begin(), shown.end(), [](const std::string& c) { return !c.empty(); });
    EXPECT_TRUE(std::all_of(shown.begin(), first, [](const std::string& c) { return c.empty(); }));
    EXPECT_TRUE(std::all_of(first, shown.end(), [&](const std::string& c) { return c == *first; }));
    EXPECT_TRUE(fs::exists(out() / "Mail(19).eml"));
    EXPECT_EQ(view.boxes.size(), 1u);
}

TEST_F(Window, ALargeMessageShowsTheCountFirstAndLetsEventsRunWhileWritten)
{
    const std::string large = t::mail("Large", std::string(20 << 20, 'x')); // three pieces
    auto all = messages(3);
    all.push_back(large);
    all.push_back(t::mail("After"));
    mailbox("Inbox.mbx", all);
    load();
    view.frame = std::chrono::hours(1);
    std::vector<std::string> shown;
    view.onEvents = [&] {
        shown.push_back(view.text(Control::prog1));
        if (shown.size() == 4)
            form.Command1_Click(); // during the large message: it is finished, no more
    };
    form.cmdx1_Click();
    // The files before the large one are on the disk before it is written, and the count
    // is drawn every 8 MiB of it; after it, within the frame, the caption stays.
    ASSERT_EQ(shown.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(shown.begin() + 3, shown.end()),
              (std::vector<std::string>{"File 3", "File 3", "File 3"}));
    EXPECT_EQ(view.text(Control::prog1), "File 4") << "current at the end";
    EXPECT_EQ(written(), 4);
    EXPECT_EQ(t::readFile(out() / "Large.eml"), t::padded(large));
}

TEST_F(Window, MailboxListIsSortedIgnoringCaseAndInboxChosen)
{
    for (const char* n : {"sent.mbx", "INBOX.MBX", "Archive.mbx"})
        mailbox(n, messages(1));
    t::createHiddenFile(mail(), "Hidden.mbx");
    fs::create_directory(mail() / "Old.mbx");
    form.Form_Load();
    EXPECT_EQ(view.at(Control::infil1).list, (std::vector<std::string>{"Archive.mbx", "INBOX.MBX", "sent.mbx"}));
    EXPECT_EQ(view.text(Control::infil1), "INBOX.MBX");

    fs::remove(mail() / "INBOX.MBX");
    fs::remove(mail() / "Archive.mbx");
    form.inpth1_Click();
    EXPECT_EQ(view.text(Control::infil1), "sent.mbx");
    EXPECT_TRUE(view.at(Control::cmdx1).visible);
}

TEST_F(Window, TypingAndLeavingTheFolderBoxRebuildTheList)
{
    mailbox("Inbox.mbx", messages(1));
    mailbox("Sent.mbx", messages(1));
    form.Form_Load();
    const std::string folder = view.text(Control::inpth1);
    // A partial path lists nothing and hides Extract; the key release finds no folder.
    view.setText(Control::inpth1, folder.substr(0, folder.size() - 3));
    form.inpth1_Change();
    form.inpth1_KeyUp();
    EXPECT_TRUE(view.at(Control::infil1).list.empty());
    EXPECT_FALSE(view.at(Control::cmdx1).visible);
    view.setText(Control::inpth1, folder);
    form.inpth1_Change();
    EXPECT_EQ(view.text(Control::infil1), "Inbox.mbx");
    EXPECT_TRUE(view.at(Control::cmdx1).visible);
    // A key that changes nothing still rebuilds, and so does leaving the box: both set
    // the choice back to Inbox.mbx.
    view.setText(Control::infil1, "Sent.mbx");
    form.inpth1_KeyUp();
    EXPECT_EQ(view.text(Control::infil1), "Inbox.mbx");
    view.setText(Control::infil1, "Sent.mbx");
    form.inpth1_LostFocus();
    EXPECT_EQ(view.text(Control::infil1), "Inbox.mbx");
}

TEST_F(Window, EmptyFolderTextOrAFileListNothing)
{
    mailbox("Inbox.mbx", messages(1));
    form.Form_Load();
    // Emptying the folder empties the list; Extract keeps its visibility.
    view.setText(Control::inpth1, "");
    form.inpth1_Change();
    form.inpth1_LostFocus();
    EXPECT_TRUE(view.at(Control::infil1).list.empty());
    EXPECT_EQ(view.text(Control::infil1), "");
    EXPECT_TRUE(view.at(Control::cmdx1).visible);
    // An ordinary file passes the entry test, lists nothing, and hides Extract.
    view.setText(Control::inpth1, t::utf8(mail() / "Inbox.mbx"));
    form.inpth1_LostFocus();
    EXPECT_TRUE(view.at(Control::infil1).list.empty());
    EXPECT_FALSE(view.at(Control::cmdx1).visible);
    // Without its trailing separator the folder lists the same.
    view.setText(Control::inpth1, t::utf8(mail()));
    form.inpth1_Change();
    EXPECT_EQ(view.text(Control::infil1), "Inbox.mbx");
    EXPECT_TRUE(view.at(Control::cmdx1).visible);
}
