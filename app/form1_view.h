#pragma once
// The window as its handlers see it: the controls, which hold every setting, read and
// written by name, and the few things a window system does besides. The Qt window and
// the Win32 window each implement it; the tests implement it in memory.
#include "carrowin_version.h"

#include <array>
#include <chrono>
#include <string>
#include <vector>

namespace carrowin::app {

// The caption of the window, in every front end.
inline constexpr char kForm1Caption[] = "Carrowin -- For OE4 messages--ver. " CARROWIN_VERSION_SHORT;

enum class Control { inpth1, infil1, outpth1, fpref1, sopt1, sopt2, Check1, cmdx1, Command1, Label1, prog1 };

inline constexpr std::size_t kControlCount = 11;

// The name a control has in the window's description.
constexpr const char* nameOf(Control c)
{
    constexpr std::array<const char*, kControlCount> kNames{"inpth1", "infil1", "outpth1", "fpref1", "sopt1", "sopt2",
                                                  "Check1", "cmdx1",  "Command1", "Label1", "prog1"};
    return kNames[static_cast<std::size_t>(c)];
}

// What a screen reader calls the controls that no visible label names alone: the two
// fields both labelled "Path:", the prefix box inside the frame "Save", the mailbox list
// and the file counter. Every front end gives them these names; none for other controls.
constexpr const char* accessibleNameOf(Control c)
{
    switch (c) {
    case Control::inpth1: return "Input folder";
    case Control::infil1: return "Mailbox file";
    case Control::outpth1: return "Output folder";
    case Control::fpref1: return "File name prefix";
    case Control::prog1: return "Progress";
    default: return nullptr;
    }
}

enum class MessageKind {
    Plain, // no icon: "Extraction Complete", "Registry read error N"
    Error, // a failure, with the system's warning icon
};

class Form1View {
public:
    virtual ~Form1View() = default;

    // The text of a text box, of a combo box's edit field, or a label's caption, in UTF-8.
    // Setting it runs no handler: where the window system would run one, the handler
    // that sets the text runs it itself.
    virtual std::string text(Control c) const = 0;
    virtual void setText(Control c, const std::string& text) = 0;

    // Option buttons hold -1 (selected) or 0; the check box 0, 1 or 2 (greyed).
    virtual int value(Control c) const = 0;
    virtual void setValue(Control c, int value) = 0;

    // A control's own visibility, whether or not the window is shown.
    virtual bool isVisible(Control c) const = 0;
    virtual void setVisible(Control c, bool visible) = 0;
    virtual void setEnabled(Control c, bool enabled) = 0;

    // The keyboard focus: whether a control holds it, and giving it to one.
    virtual bool hasFocus(Control c) const = 0;
    virtual void setFocus(Control c) = 0;

    // Combo box lists. Clearing empties the list and the text. Entries go to the end of
    // the list, or to their sorted place in a box that sorts (infil1).
    virtual void clearList(Control c) = 0;
    virtual void addListEntries(Control c, const std::vector<std::string>& entries) = 0;
    virtual int listCount(Control c) const = 0;
    virtual std::string listEntry(Control c, int index) const = 0; // empty beyond the end

    // A modal box titled "Carrowin" with an OK button; centred on the screen while the
    // window is not shown yet.
    virtual void showMessage(const std::string& text, MessageKind kind) = 0;
    virtual void setBusyPointer(bool busy) = 0;
    // Runs the events that are waiting (clicks, typing, closing, repaints) and returns.
    virtual void processPendingEvents() = 0;
    // Shows the window, centred on the screen.
    virtual void showWindow() = 0;
    // How often the screen can show a change; captions are not redrawn more often.
    virtual std::chrono::milliseconds frameInterval() const = 0;
};

} // namespace carrowin::app
