#pragma once
// The handlers of the one window, written once for every window system. Each reads what
// it needs from the controls (through Form1View) when it needs it and leaves its results
// there; the window system routes its events here.
#include "form1_view.h"

#include <string>
#include <string_view>

namespace carrowin::app {

// The mailbox's path from the input folder and the mailbox's name, as the window holds
// them. Throws ExtractError (Settings) when either is empty.
std::string mailboxPath(std::string_view inputFolder, std::string_view mailboxName);

class Form1Handlers {
public:
    // The window has just been created; it becomes the program's one window (Form1Ref).
    explicit Form1Handlers(Form1View& view);

    void Form_Load();
    void sopt1_Click();
    void sopt2_Click();
    void Command1_Click();
    // The window is being closed; a run in progress stops before its next record.
    void Form_Unload();
    void Form_Terminate();

    // The extraction run. It returns when the run has ended; if the window was closed
    // meanwhile, its controls are left as they are.
    void cmdx1_Click();

    void inpth1_Change();
    void inpth1_Click();
    void inpth1_KeyUp();
    void inpth1_LostFocus();

    bool isRunning() const { return m_running; }

private:
    void FindStoreRoot();
    void FillMailboxList();
    void rebuildWhenFolderExists();
    void enterRunningState();
    // Back to idle; the prefix box reads "File" again unless the user has to correct it.
    void resetAfterRun(bool resetPrefix);

    Form1View& m_view;
    bool m_running = false;
    bool m_closed = false;
};

} // namespace carrowin::app
