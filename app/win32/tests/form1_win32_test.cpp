// The native window under a real window system: its layout, states, tooltips, keys, and
// the events that reach the handlers. The handlers themselves are tested without one.
#include "form1_win32.h"
#include "module1.h"
#include "png_writer.h"
#include "test_support.h"
#include "windows_text.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <oleacc.h>

#include <atomic>
#include <mutex>
#include <thread>

using carrowin::app::Control;
using carrowin::text::utf8FromWide;
namespace t = carrowin::testing;
namespace fs = std::filesystem;

namespace {

std::wstring textOf(HWND h)
{
    wchar_t buf[512] = {};
    GetWindowTextW(h, buf, 512);
    return buf;
}

// Answers every message box titled "Carrowin" with OK, noting its text, whether it
// had an icon and whether the window was on the screen at the time.
class MessageBoxes {
public:
    struct Seen {
        std::string text;
        bool icon;
        bool windowShown;
    };

    explicit MessageBoxes(const HWND& window) : m_window(window), m_thread([this] { run(); }) {}
    ~MessageBoxes()
    {
        m_stop = true;
        m_thread.join();
    }
    std::vector<Seen> seen()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_seen;
    }

private:
    void run()
    {
        while (!m_stop) {
            const HWND box = FindWindowW(L"#32770", L"Carrowin");
            if (box != nullptr && IsWindowVisible(box))
                answer(box);
            Sleep(5);
        }
    }
    void answer(HWND box)
    {
        Seen s{{}, false, m_window != nullptr && IsWindowVisible(m_window)};
        for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
            wchar_t cls[32] = {};
            GetClassNameW(child, cls, 32);
            if (std::wstring_view(cls) != L"Static")
                continue;
            if (GetWindowLongW(child, GWL_STYLE) & SS_ICON)
                s.icon = s.icon || (IsWindowVisible(child) && SendMessageW(child, STM_GETICON, 0, 0) != 0);
            else if (const std::wstring text = textOf(child); !text.empty())
                s.text = utf8FromWide(text);
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_seen.push_back(s);
        }
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
        for (int i = 0; i < 500 && IsWindow(box); ++i)
            Sleep(5);
    }

    const HWND& m_window;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<Seen> m_seen;
    std::thread m_thread;
};

// Runs the window's events the way its message loop does.
void pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!carrowin::win32::Form1::translate(msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

class Win32Window : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(dir / "store" / "mail");
        fs::create_directories(dir / "out");
        t::useStoreRoot(dir.path(), t::utf8(dir / "store"));
        form = std::make_unique<carrowin::win32::Form1>(GetModuleHandleW(nullptr));
        hwnd = form->hwnd();
    }
    void TearDown() override
    {
        form.reset();
        hwnd = nullptr;
        t::useNoStore(dir.path());
    }

    HWND control(const wchar_t* name) const { return form->control(name); }
    int px(int twips) const { return MulDiv(twips, static_cast<int>(dpi()), 1440); }
    UINT dpi() const
    {
        const HDC dc = GetDC(nullptr);
        const int d = GetDeviceCaps(dc, LOGPIXELSY);
        ReleaseDC(nullptr, dc);
        return static_cast<UINT>(d);
    }
    // A control's place in the client area.
    RECT placeOf(HWND h) const
    {
        RECT r{};
        GetWindowRect(h, &r);
        MapWindowPoints(HWND_DESKTOP, hwnd, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    bool visible(const wchar_t* name) const { return (GetWindowLongW(control(name), GWL_STYLE) & WS_VISIBLE) != 0; }
    bool checked(const wchar_t* name) const { return SendMessageW(control(name), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    void mailbox(const std::vector<std::string>& messages)
    {
        t::writeFile(dir / "store" / "mail" / "Inbox.mbx", t::mailbox(messages));
    }
    void load()
    {
        form->handlers().Form_Load();
        SetWindowTextW(control(L"outpth1"), (dir / "out").wstring().c_str());
    }
    long written() const
    {
        return static_cast<long>(std::distance(fs::directory_iterator(dir / "out"), fs::directory_iterator()));
    }

    t::TempDir dir;
    std::unique_ptr<carrowin::win32::Form1> form;
    HWND hwnd = nullptr;
    MessageBoxes boxes{hwnd};
};

} // namespace

TEST_F(Win32Window, OpensCentredWithItsCaptionFixedBorderAndClientSize)
{
    load();
    EXPECT_EQ(textOf(hwnd), L"Carrowin -- For OE4 messages--ver. 2.11");
    RECT client{};
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, px(6075));
    EXPECT_EQ(client.bottom, px(6435));
    const LONG style = GetWindowLongW(hwnd, GWL_STYLE);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_MINIMIZEBOX);
    EXPECT_TRUE(style & WS_SYSMENU);
    RECT window{};
    GetWindowRect(hwnd, &window);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(hwnd, MONITOR_DEFAULTTOPRIMARY), &monitor);
    EXPECT_LE(std::abs((window.left + window.right) - (monitor.rcWork.left + monitor.rcWork.right)), 2);
    EXPECT_LE(std::abs((window.top + window.bottom) - (monitor.rcWork.top + monitor.rcWork.bottom)), 2);
    // The icon in both sizes.
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(reinterpret_cast<HICON>(GetClassLongPtrW(hwnd, GCLP_HICON)), &info));
    BITMAP bitmap{};
    GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
    EXPECT_EQ(bitmap.bmWidth, 32);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    EXPECT_NE(GetClassLongPtrW(hwnd, GCLP_HICONSM), 0u);
}

TEST_F(Win32Window, EveryControlAtItsPlaceWithItsTextFontAndColour)
{
    struct Place {
        const wchar_t* name;
        const wchar_t* cls;
        const wchar_t* text;
        int left, top, width, height; // twips in the client area (the frame's at 1044, 432)
        int points;                   // hundredths
    };
    const Place places[] = {
        {L"Label2", L"Static", L"Action", 468, 36, 804, 372, 1200},
        {L"Frame2", L"Button", L"Save", 1044, 432, 3792, 1416, 975},
        {L"sopt1", L"Button", L"By Subject", 1044 + 180, 432 + 324, 3036, 336, 975},
        {L"Check1", L"Button", L"Remove Re:", 1044 + 1800, 432 + 360, 1695, 255, 975},
        {L"sopt2", L"Button", L"By Prefix", 1044 + 180, 432 + 720, 3360, 264, 975},
        {L"fpref1", L"Edit", L"File", 1044 + 612, 432 + 1008, 3072, 324, 975},
        {L"Label3", L"Static", L"Input", 468, 1908, 804, 372, 1200},
        {L"Label4", L"Static", L"Path:", 72, 2304, 696, 264, 975},
        {L"Label5", L"Static", L"Select, Paste, or Type in values", 1920, 2340, 2400, 225, 825},
        {L"inpth1", L"ComboBox", L"", 324, 2628, 5664, 288, 825},
        {L"Label6", L"Static", L"File:", 108, 3024, 696, 264, 975},
        {L"infil1", L"ComboBox", L"", 324, 3348, 5664, 288, 825},
        {L"Label7", L"Static", L"Output", 468, 3780, 804, 372, 1200},
        {L"Label8", L"Static", L"Path:", 72, 4140, 696, 264, 975},
        {L"outpth1", L"Edit", L"", 324, 4464, 5664, 288, 825},
        {L"cmdx1", L"Button", L"&Extract", 3996, 5040, 1596, 480, 975},
        {L"Label1", L"Static", L"Progress:", 288, 5148, 1560, 300, 975},
        {L"prog1", L"Static", L"", 756, 5652, 1848, 408, 1200},
        {L"Command1", L"Button", L"&Cancel", 3996, 5652, 1596, 480, 975},
    };
    for (const Place& p : places) {
        SCOPED_TRACE(utf8FromWide(p.name));
        const HWND h = control(p.name);
        ASSERT_NE(h, nullptr);
        wchar_t cls[32] = {};
        GetClassNameW(h, cls, 32);
        EXPECT_EQ(std::wstring(cls), p.cls);
        EXPECT_EQ(textOf(h), p.text);
        const RECT r = placeOf(h);
        EXPECT_EQ(r.left, px(p.left));
        EXPECT_EQ(r.top, px(p.top));
        EXPECT_EQ(r.right - r.left, px(p.width));
        EXPECT_EQ(r.bottom - r.top, px(p.height));
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0)), sizeof font, &font);
        EXPECT_EQ(font.lfHeight, -MulDiv(p.points, static_cast<int>(dpi()), 7200));
        EXPECT_EQ(std::wstring(font.lfFaceName), L"MS Sans Serif");
    }
    // The headings' colours, as the window gives them to the labels.
    const HDC dc = GetDC(hwnd);
    const std::pair<const wchar_t*, COLORREF> colours[] = {
        {L"Label2", RGB(255, 0, 0)}, {L"Label3", RGB(0, 0, 255)}, {L"Label7", RGB(0, 128, 0)}, {L"prog1", RGB(0, 0, 255)}};
    for (const auto& [name, colour] : colours) {
        SetTextColor(dc, RGB(1, 2, 3));
        SendMessageW(hwnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control(name)));
        EXPECT_EQ(GetTextColor(dc), colour) << utf8FromWide(name);
    }
    ReleaseDC(hwnd, dc);
    // "Remove Re:" lies on top where it overlaps "By Subject": the mouse finds it there.
    load();
    const RECT check = placeOf(control(L"Check1"));
    for (POINT at : {POINT{check.left + 2, check.top + 3}, POINT{(check.left + check.right) / 2, check.bottom - 2}}) {
        ClientToScreen(hwnd, &at);
        EXPECT_EQ(WindowFromPoint(at), control(L"Check1"));
    }
}

TEST_F(Win32Window, MovingToAScreenOfAnotherDpiScalesTheWindow)
{
    load();
    RECT suggested{};
    GetWindowRect(hwnd, &suggested);
    SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    const RECT button = placeOf(control(L"cmdx1"));
    EXPECT_EQ(button.left, MulDiv(3996, 144, 1440));
    EXPECT_EQ(button.bottom - button.top, MulDiv(480, 144, 1440));
    RECT client{};
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, MulDiv(6075, 144, 1440));
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control(L"Label2"), WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_EQ(font.lfHeight, -MulDiv(1200, 144, 7200));
}

TEST_F(Win32Window, CreationStateThenTheStateAfterLoad)
{
    mailbox({t::mail("x")});
    EXPECT_FALSE(IsWindowVisible(hwnd));
    EXPECT_TRUE(checked(L"sopt2"));
    EXPECT_FALSE(checked(L"sopt1"));
    EXPECT_EQ(SendMessageW(control(L"Check1"), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_FALSE(IsWindowEnabled(control(L"fpref1")));
    EXPECT_FALSE(visible(L"prog1"));
    EXPECT_TRUE(visible(L"Command1"));
    EXPECT_TRUE(visible(L"Label1"));

    form->handlers().Form_Load();
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_TRUE(boxes.seen().empty());
    EXPECT_TRUE(checked(L"sopt1"));
    EXPECT_FALSE(checked(L"sopt2"));
    EXPECT_EQ(SendMessageW(control(L"Check1"), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(IsWindowEnabled(control(L"fpref1")));
    EXPECT_EQ(textOf(control(L"fpref1")), L"File");
    EXPECT_EQ(textOf(control(L"outpth1")), fs::current_path().wstring());
    EXPECT_EQ(SendMessageW(control(L"inpth1"), CB_GETCOUNT, 0, 0), 1);
    EXPECT_EQ(textOf(control(L"inpth1")), (dir / "store").wstring() + L"\\mail\\");
    EXPECT_EQ(textOf(control(L"infil1")), L"Inbox.mbx");
    EXPECT_TRUE(visible(L"cmdx1"));
    EXPECT_FALSE(visible(L"Command1"));
    EXPECT_FALSE(visible(L"Label1"));
    EXPECT_FALSE(visible(L"prog1"));
}

TEST_F(Win32Window, RegistryMessageComesBeforeTheWindow)
{
    t::useNoStore(dir.path());
    form->handlers().Form_Load();
    const auto seen = boxes.seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, "Registry read error 2");
    EXPECT_FALSE(seen[0].icon);
    EXPECT_FALSE(seen[0].windowShown);
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_EQ(SendMessageW(control(L"inpth1"), CB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(textOf(control(L"inpth1")), L"");
    EXPECT_TRUE(visible(L"cmdx1"));
}

TEST_F(Win32Window, TooltipsAndTabOrder)
{
    mailbox({t::mail("x")});
    load();
    const std::pair<const wchar_t*, const wchar_t*> tips[] = {
        {L"sopt1", L"Select to name Output files by message Subject"},
        {L"Check1", L"Select to remove Re from replies to same Subject"},
        {L"sopt2", L"Select to name files by Prefix below"},
        {L"fpref1", L"Type in value to use for File Prefix"},
        {L"inpth1", L"Set Directory Path to DBX files"},
        {L"infil1", L"Select DBX file to Extract"},
        {L"outpth1", L"Type or Paste in Path for Output files or use current"},
        {L"cmdx1", L"Click to begin file extraction!"},
        {L"Command1", L""}, {L"Label2", L""}, {L"Frame2", L""}, {L"prog1", L""}};
    for (const auto& [name, tip] : tips) {
        wchar_t text[128] = {};
        TOOLINFOW ti{};
        ti.cbSize = sizeof ti;
        ti.hwnd = hwnd;
        ti.uId = reinterpret_cast<UINT_PTR>(control(name));
        ti.lpszText = text;
        SendMessageW(form->tooltips(), TTM_GETTEXTW, 128, reinterpret_cast<LPARAM>(&ti));
        EXPECT_EQ(std::wstring(text), tip) << utf8FromWide(name);
    }
    // Tab stops at the selected option button only, and skips what is hidden.
    std::vector<std::wstring> order;
    HWND at = control(L"sopt1");
    for (int i = 0; i < 7; ++i, at = GetNextDlgTabItem(hwnd, at, FALSE))
        for (const wchar_t* name : {L"sopt1", L"sopt2", L"fpref1", L"inpth1", L"infil1", L"outpth1", L"cmdx1",
                                    L"Command1", L"Check1"})
            if (control(name) == at)
                order.emplace_back(name);
    EXPECT_EQ(order, (std::vector<std::wstring>{L"sopt1", L"fpref1", L"inpth1", L"infil1", L"outpth1", L"cmdx1",
                                                L"Check1"}));
    form->handlers().sopt2_Click();
    EXPECT_EQ(GetNextDlgTabItem(hwnd, control(L"Check1"), FALSE), control(L"sopt2"));
}

TEST_F(Win32Window, ClicksReachTheHandlers)
{
    load();
    SendMessageW(control(L"sopt2"), BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageW(control(L"Check1"), BM_GETCHECK, 0, 0), BST_INDETERMINATE);
    EXPECT_TRUE(IsWindowEnabled(control(L"fpref1")));
    SendMessageW(control(L"sopt1"), BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageW(control(L"Check1"), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_FALSE(IsWindowEnabled(control(L"fpref1")));
    // A click on "Remove Re:" only checks and unchecks it.
    SendMessageW(control(L"Check1"), BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageW(control(L"Check1"), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    SendMessageW(control(L"Check1"), BM_CLICK, 0, 0);
    EXPECT_EQ(SendMessageW(control(L"Check1"), BM_GETCHECK, 0, 0), BST_CHECKED);
}

// Windows' accessibility names a field after the static text just before it in z-order:
// there each field has its own, hidden. Wine answers for edit fields and buttons (its
// combo boxes are named by their text), so those are asked as a screen reader asks.
TEST_F(Win32Window, ScreenReadersHearEveryFieldNamedByItsPurpose)
{
    load();
    const std::pair<const wchar_t*, const wchar_t*> fields[] = {
        {L"inpth1", L"Input folder"}, {L"infil1", L"Mailbox file"},
        {L"outpth1", L"Output folder"}, {L"fpref1", L"File name prefix"}};
    for (const auto& [field, name] : fields) {
        const HWND label = GetWindow(control(field), GW_HWNDPREV);
        wchar_t cls[32] = {};
        GetClassNameW(label, cls, 32);
        EXPECT_EQ(std::wstring_view(cls), L"Static") << field;
        EXPECT_EQ(textOf(label), name) << field;
        EXPECT_FALSE(IsWindowVisible(label)) << field;
    }

    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    const auto ask = [](HWND h, long* role) {
        IAccessible* acc = nullptr;
        if (FAILED(AccessibleObjectFromWindow(h, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&acc))))
            return std::wstring(L"(no object)");
        VARIANT self{};
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        BSTR name = nullptr;
        std::wstring text = acc->get_accName(self, &name) == S_OK && name != nullptr ? name : L"";
        SysFreeString(name);
        VARIANT r{};
        if (role != nullptr && acc->get_accRole(self, &r) == S_OK)
            *role = r.lVal;
        acc->Release();
        return text;
    };
    long role = 0;
    EXPECT_EQ(ask(control(L"outpth1"), &role), L"Output folder");
    EXPECT_EQ(role, ROLE_SYSTEM_TEXT);
    EXPECT_EQ(ask(control(L"fpref1"), &role), L"File name prefix");
    EXPECT_EQ(role, ROLE_SYSTEM_TEXT);
    const std::pair<const wchar_t*, const wchar_t*> captions[] = {
        {L"cmdx1", L"Extract"}, {L"Command1", L"Cancel"}, {L"sopt1", L"By Subject"},
        {L"sopt2", L"By Prefix"}, {L"Check1", L"Remove Re:"}, {L"Frame2", L"Save"}};
    for (const auto& [button, name] : captions)
        EXPECT_EQ(ask(control(button), nullptr), name) << button;
    EXPECT_EQ(ask(hwnd, nullptr), L"Carrowin -- For OE4 messages--ver. 2.11");
    CoUninitialize();
}

TEST_F(Win32Window, TypingPickingAndLeavingTheFolderBoxRebuildTheList)
{
    t::writeFile(dir / "store" / "mail" / "Inbox.mbx", t::mailbox({t::mail("x")}));
    t::writeFile(dir / "store" / "mail" / "Sent.mbx", t::mailbox({t::mail("x")}));
    load();
    const HWND folder = control(L"inpth1");
    const HWND list = control(L"infil1");
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetComboBoxInfo(folder, &info));
    // A character typed at the end changes the text (inpth1_Change) to a folder that does
    // not exist; deleting it again and releasing the key (inpth1_KeyUp) rebuilds.
    SendMessageW(info.hwndItem, EM_SETSEL, 0x7FFF, 0x7FFF);
    SendMessageW(info.hwndItem, WM_CHAR, L'x', 0);
    EXPECT_EQ(SendMessageW(list, CB_GETCOUNT, 0, 0), 0);
    EXPECT_FALSE(visible(L"cmdx1"));
    SendMessageW(info.hwndItem, WM_CHAR, VK_BACK, 0);
    SendMessageW(list, CB_SETCURSEL, 1, 0);
    EXPECT_EQ(textOf(list), L"Sent.mbx");
    SendMessageW(info.hwndItem, WM_KEYUP, VK_BACK, 0);
    EXPECT_EQ(textOf(list), L"Inbox.mbx");
    EXPECT_TRUE(visible(L"cmdx1"));
    // Picking the entry of the folder's list (inpth1_Click), and leaving the box.
    SendMessageW(list, CB_SETCURSEL, 1, 0);
    SendMessageW(folder, CB_SETCURSEL, 0, 0);
    SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(folder), CBN_SELCHANGE), reinterpret_cast<LPARAM>(folder));
    EXPECT_EQ(textOf(list), L"Inbox.mbx");
    SendMessageW(list, CB_SETCURSEL, 1, 0);
    SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(folder), CBN_KILLFOCUS), reinterpret_cast<LPARAM>(folder));
    EXPECT_EQ(textOf(list), L"Inbox.mbx");
}

TEST_F(Win32Window, ExtractWritesWhatTheCommandLineWrites)
{
    std::vector<std::string> messages;
    for (int i = 0; i < 40; ++i)
        messages.push_back(t::mail(i % 3 ? "Re: Lunch " + std::to_string(i % 7) : "Gr\xFC\xDF" "e", "text"));
    messages.push_back("Newsgroups: alt.test\r\nSubject: News\r\n\r\nx");
    mailbox(messages);
    load();
    SetFocus(control(L"cmdx1"));
    SendMessageW(control(L"cmdx1"), BM_CLICK, 0, 0);
    const auto seen = boxes.seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, "Extraction Complete");
    EXPECT_TRUE(seen[0].windowShown);
    EXPECT_FALSE(visible(L"prog1"));
    EXPECT_TRUE(visible(L"cmdx1"));
    EXPECT_EQ(GetFocus(), control(L"cmdx1")); // not left on the hidden Cancel, or on none
    EXPECT_EQ(textOf(control(L"fpref1")), L"File");

    const t::Outcome cli = t::runProcess(t::programFolder() / t::pathOf(CARROWIN_CLI_PATH),
                                         {"-q", "-o", t::utf8(dir / "cli"), t::utf8(dir / "store" / "mail" / "Inbox.mbx")},
                                         dir.path());
    ASSERT_EQ(cli.status, 0) << cli.err;
    std::vector<std::string> windowNames;
    for (const auto& e : fs::directory_iterator(dir / "out")) {
        windowNames.push_back(t::utf8(e.path().filename()));
        EXPECT_EQ(t::readFile(e.path()), t::readFile(dir / "cli" / e.path().filename())) << windowNames.back();
    }
    std::sort(windowNames.begin(), windowNames.end());
    std::vector<std::string> cliNames;
    for (const auto& e : fs::directory_iterator(dir / "cli"))
        cliNames.push_back(t::utf8(e.path().filename()));
    std::sort(cliNames.begin(), cliNames.end());
    EXPECT_EQ(windowNames, cliNames);
    EXPECT_EQ(windowNames.size(), messages.size());
}

TEST_F(Win32Window, CancelAndEscStopARunBeforeItsNextMessage)
{
    std::vector<std::string> messages(30, t::mail("Same"));
    mailbox(messages);
    load();
    PostMessageW(control(L"Command1"), BM_CLICK, 0, 0); // handled while the run yields
    SendMessageW(control(L"cmdx1"), BM_CLICK, 0, 0);
    EXPECT_TRUE(boxes.seen().empty());
    EXPECT_EQ(written(), 1);
    EXPECT_FALSE(visible(L"Command1"));
    // Alt+E starts a run, and Esc during it cancels; so does Alt+C.
    PostMessageW(hwnd, WM_SYSCHAR, L'e', 1 << 29);
    PostMessageW(hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
    pump();
    EXPECT_TRUE(boxes.seen().empty());
    EXPECT_EQ(written(), 2);
    PostMessageW(hwnd, WM_SYSCHAR, L'e', 1 << 29);
    PostMessageW(hwnd, WM_SYSCHAR, L'c', 1 << 29);
    pump();
    EXPECT_TRUE(boxes.seen().empty());
    EXPECT_EQ(written(), 3);
    EXPECT_EQ(Module1::CancelRequested, Module1::True);
    EXPECT_TRUE(visible(L"cmdx1"));
}

TEST_F(Win32Window, ClosingDuringARunEndsItThroughTheCancelPath)
{
    mailbox(std::vector<std::string>(30, t::mail("Same")));
    load();
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
    SendMessageW(control(L"cmdx1"), BM_CLICK, 0, 0);
    EXPECT_TRUE(boxes.seen().empty());
    EXPECT_EQ(written(), 1);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(Module1::Form1Ref, nullptr);
}

// Anna's desktop, where the README's picture is taken (the same scene as the Linux
// window's): her mail store with the usual mailboxes and one of her own, and a folder in
// her Documents for the rescued mail, which the window proposes as the current folder.
class AnnasDesktop {
public:
    AnnasDesktop() : m_cwd(fs::current_path())
    {
        fs::remove_all(home());
        fs::create_directories(mail());
        fs::create_directories(rescued());
        for (const char* name : {"Inbox", "Sent Items", "Deleted Items", "Family"})
            t::writeFile(mail() / (std::string(name) + ".mbx"), t::mailbox({t::mail(std::string("In ") + name)}));
        fs::current_path(rescued());
    }
    ~AnnasDesktop()
    {
        fs::current_path(m_cwd);
        std::error_code ec;
        fs::remove_all(home(), ec);
    }
    static fs::path home() { return L"C:\\Users\\Anna"; }
    static fs::path store() { return home() / L"Outlook Express"; }
    static fs::path mail() { return store() / L"mail"; }
    static fs::path rescued() { return home() / L"Documents" / L"Rescued mail"; }

private:
    fs::path m_cwd;
};

TEST_F(Win32Window, Screenshot)
{
    const AnnasDesktop desktop;
    t::useStoreRoot(dir.path(), t::utf8(desktop.store()));
    form->handlers().Form_Load();
    pump();
    // Nothing of the machine that makes the picture is in it: the fields hold the scene's paths.
    EXPECT_EQ(textOf(control(L"inpth1")), desktop.mail().wstring() + L"\\");
    EXPECT_EQ(textOf(control(L"outpth1")), desktop.rescued().wstring());
    std::vector<std::wstring> listed;
    for (LRESULT i = 0, n = SendMessageW(control(L"infil1"), CB_GETCOUNT, 0, 0); i < n; ++i) {
        wchar_t entry[256] = {};
        SendMessageW(control(L"infil1"), CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(entry));
        listed.emplace_back(entry);
    }
    EXPECT_EQ(listed, (std::vector<std::wstring>{L"Deleted Items.mbx", L"Family.mbx", L"Inbox.mbx", L"Sent Items.mbx"}));
    EXPECT_EQ(textOf(control(L"infil1")), L"Inbox.mbx");
    RECT r{};
    GetWindowRect(hwnd, &r);
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(memory, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    const int stride = (width * 3 + 3) & ~3;
    std::vector<std::uint8_t> rgb;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const auto* p = static_cast<const std::uint8_t*>(bits) + y * stride + x * 3;
            rgb.insert(rgb.end(), {p[2], p[1], p[0]});
        }
    // The rules are on the screen in their colours.
    POINT rule{px(1332) + 10, px(216)};
    ClientToScreen(hwnd, &rule);
    const auto at = [&](POINT s) {
        const auto* p = &rgb[(static_cast<std::size_t>(s.y - r.top) * width + (s.x - r.left)) * 3];
        return RGB(p[0], p[1], p[2]);
    };
    EXPECT_EQ(at(rule), RGB(255, 0, 0));
    POINT green{px(36) + 5, px(3960)};
    ClientToScreen(hwnd, &green);
    EXPECT_EQ(at(green), RGB(0, 128, 0));
    // "Remove Re:" is drawn although "By Subject" lies above it in the z-order.
    RECT check{};
    GetWindowRect(control(L"Check1"), &check);
    int dark = 0;
    for (int y = check.top; y < check.bottom; ++y)
        for (int x = check.left; x < check.right; ++x)
            dark += GetRValue(at({x, y})) < 96 ? 1 : 0;
    EXPECT_GT(dark, 50);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    // Into the build's folder; where that cannot be written, the temporary folder.
    fs::path path = t::pathOf(CARROWIN_SCREENSHOT_PATH);
    if (!t::writePng(path, width, height, rgb))
        path = fs::temp_directory_path() / path.filename();
    EXPECT_TRUE(t::writePng(path, width, height, rgb));
    std::printf("window screenshot written to %s\n", t::utf8(path).c_str());
}
