#include "form1_win32.h"

#include "form1_layout.h"
#include "windows_text.h"

#include <commctrl.h>

#include <array>

namespace carrowin::win32 {
namespace {

using app::Control;
using text::utf8FromWide;
using text::wideFromUtf8;

constexpr wchar_t kClassName[] = L"CarrowinForm1";
constexpr int kFirstId = 100; // a control's id is kFirstId + its place in the tab order

const wchar_t* classOf(Kind kind)
{
    switch (kind) {
    case Kind::Label:
    case Kind::Heading: return WC_STATICW;
    case Kind::Edit: return WC_EDITW;
    case Kind::Combo:
    case Kind::SortedCombo: return WC_COMBOBOXW;
    case Kind::Frame:
    case Kind::Option:
    case Kind::Check:
    case Kind::Button: break;
    }
    return WC_BUTTONW;
}

// `first`: the first of the controls, in tab order, that Tab and the arrow keys move
// between as one group (the option buttons).
DWORD styleOf(const ControlLayout& c, bool first)
{
    constexpr DWORD kFocusable = WS_TABSTOP | WS_GROUP;
    DWORD style = WS_CHILD;
    switch (c.kind) {
    case Kind::Label: style |= SS_LEFT | SS_NOPREFIX; break;
    case Kind::Heading: style |= SS_CENTER | SS_NOPREFIX; break;
    case Kind::Frame: style |= BS_GROUPBOX; break;
    // The first option of a group begins it; Tab stops at the selected one (setValue).
    case Kind::Option: style |= BS_AUTORADIOBUTTON | (first ? WS_GROUP : 0); break;
    case Kind::Check: style |= kFocusable | BS_3STATE; break;
    case Kind::Edit: style |= kFocusable | ES_AUTOHSCROLL; break;
    case Kind::Combo: style |= kFocusable | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL; break;
    case Kind::SortedCombo: style |= kFocusable | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL | CBS_SORT; break;
    case Kind::Button: style |= kFocusable | BS_PUSHBUTTON; break;
    }
    return style | (c.hidden ? 0 : WS_VISIBLE) | (c.disabled ? WS_DISABLED : 0);
}

bool isCombo(const ControlLayout& c)
{
    return c.kind == Kind::Combo || c.kind == Kind::SortedCombo;
}

COLORREF colourOf(std::uint32_t rgb)
{
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

int indexOf(Control c)
{
    return placeOf(app::nameOf(c));
}

int idOf(Control c)
{
    return kFirstId + indexOf(c);
}

int px(int twips, UINT dpi)
{
    return MulDiv(twips, static_cast<int>(dpi), 1440);
}

// The window's dpi where the system can tell it per monitor, the system's elsewhere.
UINT dpiOf(HWND hwnd)
{
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (hwnd != nullptr && getDpiForWindow != nullptr)
        return getDpiForWindow(hwnd);
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

std::wstring windowText(HWND h)
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(h)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(h, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::wstring comboEntry(HWND combo, int index)
{
    const LRESULT len = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (len == CB_ERR)
        return {};
    std::wstring text(static_cast<std::size_t>(len) + 1, L'\0');
    const LRESULT got = SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(got == CB_ERR ? 0 : static_cast<std::size_t>(got));
    return text;
}

int heightOf(HWND h)
{
    RECT r{};
    GetWindowRect(h, &r);
    return r.bottom - r.top;
}

// A combo box's field is as high as its font needs. It is brought to the described height
// by what the box does with the field height asked for (systems count its margins
// differently), as far as the font allows.
void fitComboHeight(HWND combo, int height)
{
    auto asked = SendMessageW(combo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
    for (int tries = 0; tries < 3 && heightOf(combo) != height; ++tries) {
        asked += height - heightOf(combo);
        SendMessageW(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), asked);
    }
}

HWND s_window = nullptr; // the one window, for the message loop's keyboard handling

} // namespace

Form1::Form1(HINSTANCE instance) : m_instance(instance), m_handlers(*this)
{
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, 32, 32, 0));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, 16, 16, 0));
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc); // fails harmlessly when a second window registers it again

    // A fixed border and the close button only: neither resizing nor minimising.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    m_hwnd = CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, wideFromUtf8(app::kForm1Caption).c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT, 100, 100,
                             nullptr, nullptr, instance, this);
    s_window = m_hwnd;
    createControls();
    layout(dpiOf(m_hwnd));
}

Form1::~Form1()
{
    if (m_hwnd != nullptr)
        DestroyWindow(m_hwnd);
    for (HFONT f : m_fonts)
        DeleteObject(f);
}

HWND Form1::control(std::wstring_view name) const
{
    const int place = placeOf(text::utf8FromWide(name).c_str());
    return place < 0 ? nullptr : m_controls[static_cast<std::size_t>(place)];
}

HWND Form1::handleOf(Control c) const
{
    return m_controls[static_cast<std::size_t>(indexOf(c))];
}

void Form1::createControls()
{
    for (std::size_t i = 0; i < kForm1Controls.size(); ++i) {
        const ControlLayout& c = kForm1Controls[i];
        const DWORD exStyle = c.kind == Kind::Edit ? WS_EX_CLIENTEDGE : 0;
        const bool first = i == 0 || kForm1Controls[i - 1].kind != c.kind;
        const HWND h = CreateWindowExW(exStyle, classOf(c.kind), wideFromUtf8(c.text).c_str(), styleOf(c, first), 0, 0, 10, 10,
                                       m_hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstId + i)), m_instance,
                                       nullptr);
        m_controls.push_back(h);
    }
    setValue(Control::sopt2, -1); // the creation state: "By Prefix"
    nameFieldsForScreenReaders();
    // The frame lies beneath what it holds and never paints over it. It takes no focus,
    // so its place in the z-order leaves the tab order alone.
    const HWND frame = control(L"Frame2");
    SetWindowLongW(frame, GWL_STYLE, GetWindowLongW(frame, GWL_STYLE) | WS_CLIPSIBLINGS);
    SetWindowPos(frame, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    // "By Subject" and "Remove Re:" overlap inside the frame; the check box lies on top.
    SetWindowSubclass(handleOf(Control::sopt1), overlappedOptionProc, 1, reinterpret_cast<DWORD_PTR>(this));
    // The folder box's key releases reach inpth1_KeyUp through its edit field.
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    if (GetComboBoxInfo(handleOf(Control::inpth1), &info))
        SetWindowSubclass(info.hwndItem, folderEditProc, 1, reinterpret_cast<DWORD_PTR>(this));

    m_tooltips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, 0, 0, 0,
                                 0, m_hwnd, nullptr, m_instance, nullptr);
    for (std::size_t i = 0; i < kForm1Controls.size(); ++i) {
        if (kForm1Controls[i].tip == nullptr)
            continue;
        const std::wstring tip = wideFromUtf8(kForm1Controls[i].tip);
        addTooltip(m_controls[i], tip.c_str());
        COMBOBOXINFO combo{};
        combo.cbSize = sizeof combo;
        if (isCombo(kForm1Controls[i]) && GetComboBoxInfo(m_controls[i], &combo))
            addTooltip(combo.hwndItem, tip.c_str()); // the mouse rests on the edit field
    }
}

// Windows' accessibility names a field after the static text just before it in z-order.
// Here that would be "Path:" for two fields and nothing useful for the others, so a hidden
// label with the field's name goes just before each; it takes no focus and shows nothing.
void Form1::nameFieldsForScreenReaders()
{
    for (std::size_t i = 0; i < app::kControlCount; ++i) {
        const auto c = static_cast<Control>(i);
        const char* name = app::accessibleNameOf(c);
        if (name == nullptr || c == Control::prog1) // a static text is named by its own text
            continue;
        const HWND field = handleOf(c);
        const HWND label = CreateWindowExW(0, WC_STATICW, wideFromUtf8(name).c_str(), WS_CHILD | SS_NOPREFIX, 0, 0, 0, 0,
                                           m_hwnd, nullptr, m_instance, nullptr);
        const HWND above = GetWindow(field, GW_HWNDPREV);
        SetWindowPos(label, above != nullptr ? above : HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

void Form1::addTooltip(HWND control, const wchar_t* text)
{
    TOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = m_hwnd;
    ti.uId = reinterpret_cast<UINT_PTR>(control);
    ti.lpszText = const_cast<wchar_t*>(text);
    SendMessageW(m_tooltips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

// Places every control and sizes the window for `dpi`: 1440 twips make an inch.
void Form1::layout(UINT dpi)
{
    m_dpi = dpi;
    for (HFONT f : m_fonts)
        DeleteObject(f);
    m_fonts.clear();
    for (int hundredths : kFontHundredthsOfPoints)
        m_fonts.push_back(CreateFontW(-MulDiv(hundredths, static_cast<int>(dpi), 7200), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                                      FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                      VARIABLE_PITCH | FF_SWISS, L"MS Sans Serif"));
    for (std::size_t i = 0; i < kForm1Controls.size(); ++i) {
        const ControlLayout& s = kForm1Controls[i];
        const HWND h = m_controls[i];
        SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(m_fonts[static_cast<std::size_t>(s.font)]), FALSE);
        const int height = px(s.height, dpi);
        const bool combo = isCombo(s);
        // A combo box's height counts its drop-down list too.
        MoveWindow(h, px(s.left, dpi), px(s.top, dpi), px(s.width, dpi), combo ? height * 10 : height, FALSE);
        if (combo)
            fitComboHeight(h, height);
    }
    RECT frame{0, 0, px(kClientWidth, dpi), px(kClientHeight, dpi)};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongW(m_hwnd, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(m_hwnd, GWL_EXSTYLE)));
    SetWindowPos(m_hwnd, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(m_hwnd, nullptr, TRUE);
}

void Form1::paintRules(HDC dc) const
{
    for (const RuleLayout& r : kForm1Rules) {
        const int y = px(r.y, m_dpi);
        const int thickness = MulDiv(3, static_cast<int>(m_dpi), 96);
        const RECT rect{px(r.fromX, m_dpi), y - thickness / 2, px(r.toX, m_dpi), y - thickness / 2 + thickness};
        const HBRUSH brush = CreateSolidBrush(colourOf(r.colour));
        FillRect(dc, &rect, brush);
        DeleteObject(brush);
    }
}

LRESULT CALLBACK Form1::windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_NCCREATE) {
        auto* self = static_cast<Form1*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        self->m_hwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Form1*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return self != nullptr ? self->handle(msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK Form1::folderEditProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR self)
{
    const LRESULT result = DefSubclassProc(hwnd, msg, wp, lp);
    if (msg == WM_KEYUP)
        reinterpret_cast<Form1*>(self)->m_handlers.inpth1_KeyUp();
    return result;
}

// "By Subject" neither paints nor takes the mouse where "Remove Re:" overlaps it, so that
// the check box, though later in the tab order, lies on top there.
LRESULT CALLBACK Form1::overlappedOptionProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR self)
{
    RECT overlap{};
    GetWindowRect(reinterpret_cast<Form1*>(self)->handleOf(Control::Check1), &overlap);
    if (msg == WM_NCHITTEST) {
        const POINT at{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
        if (PtInRect(&overlap, at))
            return HTTRANSPARENT;
    } else if (msg == WM_PAINT) {
        MapWindowPoints(HWND_DESKTOP, hwnd, reinterpret_cast<POINT*>(&overlap), 2);
        PAINTSTRUCT ps;
        const HDC dc = BeginPaint(hwnd, &ps);
        ExcludeClipRect(dc, overlap.left, overlap.top, overlap.right, overlap.bottom);
        DefSubclassProc(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefSubclassProc(hwnd, msg, wp, lp);
}

LRESULT Form1::colourStatic(HDC dc, HWND control) const
{
    for (std::size_t i = 0; i < kForm1Controls.size(); ++i)
        if (m_controls[i] == control && kForm1Controls[i].colour != kNoColour)
            SetTextColor(dc, colourOf(kForm1Controls[i].colour));
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

// As a dialog box does: the control that had the focus when another window (a message
// box) came to the front has it again when the window does, not the window itself. True
// when it was given the focus.
bool Form1::onActivate(bool active)
{
    if (!active) {
        const HWND focus = GetFocus();
        if (focus != nullptr && IsChild(m_hwnd, focus))
            m_focusBeforeDeactivation = focus;
        return false;
    }
    const HWND back = m_focusBeforeDeactivation;
    if (back == nullptr || !IsWindow(back) || !IsWindowVisible(back) || !IsWindowEnabled(back))
        return false;
    SetFocus(back);
    return true;
}

LRESULT Form1::handle(UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_COMMAND:
        onCommand(LOWORD(wp), HIWORD(wp));
        return 0;
    case WM_CTLCOLORSTATIC:
        return colourStatic(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
    case WM_PAINT: {
        PAINTSTRUCT ps;
        const HDC dc = BeginPaint(m_hwnd, &ps);
        paintRules(dc);
        EndPaint(m_hwnd, &ps);
        return 0;
    }
    case WM_ACTIVATE:
        if (onActivate(LOWORD(wp) != WA_INACTIVE))
            return 0;
        break;
    case WM_SETCURSOR:
        if (m_busy) {
            SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32514))); // IDC_WAIT
            return TRUE;
        }
        break;
    case WM_DPICHANGED: {
        layout(HIWORD(wp));
        const auto* suggested = reinterpret_cast<const RECT*>(lp);
        SetWindowPos(m_hwnd, nullptr, suggested->left, suggested->top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_CLOSE:
        onClose();
        return 0;
    case WM_DESTROY:
        m_handlers.Form_Terminate();
        if (s_window == m_hwnd)
            s_window = nullptr;
        if (m_quitOnDestroy)
            PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        m_hwnd = nullptr;
        break;
    default:
        break;
    }
    return DefWindowProcW(m_hwnd, msg, wp, lp);
}

void Form1::onCommand(int id, int code)
{
    auto& h = m_handlers;
    if (id == IDCANCEL) { // Esc: Command1 is the window's cancel button
        if (isVisible(Control::Command1))
            h.Command1_Click();
        return;
    }
    if (code == BN_CLICKED) {
        if (id == idOf(Control::sopt1))
            h.sopt1_Click();
        else if (id == idOf(Control::sopt2))
            h.sopt2_Click();
        else if (id == idOf(Control::Command1))
            h.Command1_Click();
        else if (id == idOf(Control::Check1)) // a click checks or unchecks; only the program greys it
            setValue(Control::Check1, value(Control::Check1) == 1 ? 0 : 1);
        else if (id == idOf(Control::cmdx1)) {
            h.cmdx1_Click();
            if (m_destroyAfterRun)
                DestroyWindow(m_hwnd);
        }
        return;
    }
    if (id != idOf(Control::inpth1))
        return;
    if (code == CBN_EDITCHANGE) {
        h.inpth1_Change();
    } else if (code == CBN_SELCHANGE) {
        // The edit field shows the picked entry only after this notification: show it now.
        const HWND box = handleOf(Control::inpth1);
        const LRESULT picked = SendMessageW(box, CB_GETCURSEL, 0, 0);
        if (picked != CB_ERR)
            SetWindowTextW(box, comboEntry(box, static_cast<int>(picked)).c_str());
        h.inpth1_Change();
        h.inpth1_Click();
    } else if (code == CBN_KILLFOCUS) {
        h.inpth1_LostFocus();
    }
}

void Form1::onClose()
{
    m_handlers.Form_Unload();
    if (m_handlers.isRunning()) {
        // The run ends at its next check; the window goes when its handler has returned.
        ShowWindow(m_hwnd, SW_HIDE);
        m_destroyAfterRun = true;
    } else {
        DestroyWindow(m_hwnd);
    }
}

bool Form1::translate(MSG& msg)
{
    return s_window != nullptr && (msg.hwnd == s_window || IsChild(s_window, msg.hwnd))
           && IsDialogMessageW(s_window, &msg);
}

std::string Form1::text(Control c) const
{
    return utf8FromWide(windowText(handleOf(c)));
}

void Form1::setText(Control c, const std::string& text)
{
    SetWindowTextW(handleOf(c), wideFromUtf8(text).c_str());
}

int Form1::value(Control c) const
{
    const LRESULT state = SendMessageW(handleOf(c), BM_GETCHECK, 0, 0);
    if (c == Control::Check1)
        return state == BST_CHECKED ? 1 : state == BST_INDETERMINATE ? 2 : 0;
    return state == BST_CHECKED ? -1 : 0;
}

void Form1::setValue(Control c, int value)
{
    const HWND h = handleOf(c);
    if (c == Control::Check1) {
        SendMessageW(h, BM_SETCHECK, value == 1 ? BST_CHECKED : value == 2 ? BST_INDETERMINATE : BST_UNCHECKED, 0);
        return;
    }
    SendMessageW(h, BM_SETCHECK, value != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
    // Of the two option buttons, Tab stops at the selected one only.
    const LONG style = GetWindowLongW(h, GWL_STYLE);
    SetWindowLongW(h, GWL_STYLE, value != 0 ? style | WS_TABSTOP : style & ~WS_TABSTOP);
}

bool Form1::isVisible(Control c) const
{
    return (GetWindowLongW(handleOf(c), GWL_STYLE) & WS_VISIBLE) != 0;
}

void Form1::setVisible(Control c, bool visible)
{
    ShowWindow(handleOf(c), visible ? SW_SHOWNA : SW_HIDE);
}

void Form1::setEnabled(Control c, bool enabled)
{
    EnableWindow(handleOf(c), enabled ? TRUE : FALSE);
}

bool Form1::hasFocus(Control c) const
{
    const HWND focus = GetFocus();
    return focus != nullptr && (focus == handleOf(c) || IsChild(handleOf(c), focus)); // a combo box's field
}

void Form1::setFocus(Control c)
{
    SetFocus(handleOf(c));
}

void Form1::clearList(Control c)
{
    SendMessageW(handleOf(c), CB_RESETCONTENT, 0, 0);
    SetWindowTextW(handleOf(c), L"");
}

void Form1::addListEntries(Control c, const std::vector<std::string>& entries)
{
    const HWND box = handleOf(c);
    SendMessageW(box, WM_SETREDRAW, FALSE, 0);
    SendMessageW(box, CB_INITSTORAGE, entries.size(), 0);
    for (const std::string& entry : entries)
        SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wideFromUtf8(entry).c_str()));
    SendMessageW(box, WM_SETREDRAW, TRUE, 0);
}

int Form1::listCount(Control c) const
{
    return static_cast<int>(SendMessageW(handleOf(c), CB_GETCOUNT, 0, 0));
}

std::string Form1::listEntry(Control c, int index) const
{
    return utf8FromWide(comboEntry(handleOf(c), index));
}

void Form1::showMessage(const std::string& text, app::MessageKind kind)
{
    // Before the window is shown (start-up) the box has no owner and centres on the screen.
    const HWND owner = IsWindowVisible(m_hwnd) ? m_hwnd : nullptr;

    const UINT icon = kind == app::MessageKind::Error ? MB_ICONWARNING : 0;
    MessageBoxW(owner, wideFromUtf8(text).c_str(), L"Carrowin", MB_OK | icon);
}

void Form1::setBusyPointer(bool busy)
{
    m_busy = busy;
    POINT at{};
    GetCursorPos(&at);
    const HWND under = WindowFromPoint(at);
    if (under == m_hwnd || IsChild(m_hwnd, under))
        SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(busy ? 32514 : 32512))); // IDC_WAIT, IDC_ARROW
}

void Form1::processPendingEvents()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam)); // for the loop that waits for it
            return;
        }
        if (!translate(msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

void Form1::showWindow()
{
    RECT window{};
    GetWindowRect(m_hwnd, &window);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(m_hwnd, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    SetWindowPos(m_hwnd, nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ShowWindow(m_hwnd, SW_SHOW);
    UpdateWindow(m_hwnd);
    SetFocus(GetNextDlgTabItem(m_hwnd, nullptr, FALSE));
}

std::chrono::milliseconds Form1::frameInterval() const
{
    const HDC dc = GetDC(m_hwnd);
    const int hz = GetDeviceCaps(dc, VREFRESH);
    ReleaseDC(m_hwnd, dc);
    return std::chrono::milliseconds(1000 / (hz > 1 ? hz : 60));
}

} // namespace carrowin::win32
