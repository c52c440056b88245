#pragma once
// The one window in Win32: the system's own controls, laid out from the description in
// twips, routing their notifications to the handlers, which see them through Form1View.
#include "form1_handlers.h"
#include "form1_view.h"

#include <windows.h>

#include <string_view>
#include <vector>

namespace carrowin::win32 {

class Form1 : public app::Form1View {
public:
    // Creates the window hidden, in the state the description gives, with Form1Ref set.
    explicit Form1(HINSTANCE instance);
    ~Form1() override;
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    app::Form1Handlers& handlers() { return m_handlers; }
    HWND hwnd() const { return m_hwnd; }
    HWND tooltips() const { return m_tooltips; }
    // A control by its name ("cmdx1", "Label2", "Frame2"...), or null.
    HWND control(std::wstring_view name) const;
    // Whether the window, once destroyed, ends the message loop (the program's window does).
    void setQuitOnDestroy(bool quit) { m_quitOnDestroy = quit; }

    // Every message of the thread goes through here, so that Tab, Esc and the access
    // keys work; the run's yield uses it as well.
    static bool translate(MSG& msg);

    std::string text(app::Control c) const override;
    void setText(app::Control c, const std::string& text) override;
    int value(app::Control c) const override;
    void setValue(app::Control c, int value) override;
    bool isVisible(app::Control c) const override;
    void setVisible(app::Control c, bool visible) override;
    void setEnabled(app::Control c, bool enabled) override;
    bool hasFocus(app::Control c) const override;
    void setFocus(app::Control c) override;
    void clearList(app::Control c) override;
    void addListEntries(app::Control c, const std::vector<std::string>& entries) override;
    int listCount(app::Control c) const override;
    std::string listEntry(app::Control c, int index) const override;
    void showMessage(const std::string& text, app::MessageKind kind) override;
    void setBusyPointer(bool busy) override;
    void processPendingEvents() override;
    void showWindow() override;
    std::chrono::milliseconds frameInterval() const override;

private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK overlappedOptionProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                                 DWORD_PTR self);
    static LRESULT CALLBACK folderEditProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR self);
    LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT colourStatic(HDC dc, HWND control) const;
    bool onActivate(bool active);
    void onCommand(int id, int code);
    void onClose();
    void paintRules(HDC dc) const;
    void createControls();
    void layout(UINT dpi);
    void nameFieldsForScreenReaders();
    void addTooltip(HWND control, const wchar_t* text);
    HWND handleOf(app::Control c) const;

    HINSTANCE m_instance;
    HWND m_hwnd = nullptr;
    HWND m_tooltips = nullptr;
    HWND m_focusBeforeDeactivation = nullptr;
    std::vector<HWND> m_controls; // in the order of the description's table
    std::vector<HFONT> m_fonts;   // 8.25, 9.75 and 12 pt at the window's dpi
    UINT m_dpi = 96;
    bool m_busy = false;
    bool m_quitOnDestroy = false;
    bool m_destroyAfterRun = false;
    app::Form1Handlers m_handlers;
};

} // namespace carrowin::win32
