// The extraction run behind the Extract button.
#include "form1_handlers.h"

#include "eml_store.h"
#include "errors.h"
#include "module1.h"
#include "paths.h"
#include "run.h"

#include <optional>

namespace carrowin::app {
namespace {

// Lets the run read its settings from the controls and show its progress. Captions are
// redrawn at most once per screen refresh: a repaint costs far more than writing a
// message file, and more often than the screen shows it is wasted.
class WindowRunHost : public extract::RunHost, public extract::NamingHost {
public:
    using Clock = std::chrono::steady_clock;

    explicit WindowRunHost(Form1View& view)
        : m_view(view), m_frame(view.frameInterval()), m_shownName(view.text(Control::fpref1))
    {
    }

    bool cancelRequested() override { return Module1::CancelRequested != Module1::False; }

    extract::NamingSettings currentSettings() override
    {
        extract::NamingSettings s;
        s.bySubject = m_view.value(Control::sopt1) == Module1::True;
        s.removeRe = m_view.value(Control::Check1) == 1;
        // A prefix the user has typed since the box was last drawn wins over the name the
        // run goes on from (that of the last message named, which may not be on the disk
        // yet, and so is not shown yet).
        const std::string box = m_view.text(Control::fpref1);
        if (m_namePending && box != m_shownName)
            m_namePending = false;
        s.workingName = m_namePending ? m_pendingName : box;
        s.outputFolder = m_view.text(Control::outpth1);
        m_folderShown = s.outputFolder;
        return s;
    }

    void nameChosen(const std::string& workingName, const std::string& outputFolder) override
    {
        m_pendingName = workingName;
        m_namePending = true;
        // Nothing runs between reading the settings and naming: the box still shows that.
        if (m_folderShown != outputFolder)
            m_view.setText(Control::outpth1, outputFolder);
    }

    void messageDone(const extract::Progress& p) override
    {
        m_count = p.filesNamed;
        if (!m_shown || Clock::now() - *m_shown >= m_frame)
            redrawCaptions();
        m_view.processPendingEvents();
    }

    // A large message takes a while: the captions are brought up to date before it, and
    // the window repaints and sees Cancel and closing between its pieces.
    // The counter and the prefix box show files that are on the disk under their names.
    void filesNamed(const extract::Progress& p, const std::string& lastBaseName) override
    {
        m_count = p.filesNamed;
        m_lastNamed = lastBaseName;
        m_namedSinceShown = true;
    }

    void writing(const extract::Progress& p) override
    {
        m_count = p.filesNamed;
        redrawCaptions();
        m_view.processPendingEvents();
    }

    // Brings the counter and the prefix box up to the last file named. Until a file is
    // named there is nothing to draw, and the frame starts with the first drawing.
    void redrawCaptions()
    {
        if (m_count == 0)
            return;
        m_view.setText(Control::prog1, "File " + std::to_string(m_count));
        if (m_namedSinceShown) {
            m_view.setText(Control::fpref1, m_lastNamed);
            m_shownName = m_lastNamed;
            m_namedSinceShown = false;
        }
        m_shown = Clock::now();
    }

private:
    Form1View& m_view;
    std::chrono::milliseconds m_frame;
    std::optional<Clock::time_point> m_shown;
    std::uint64_t m_count = 0;
    std::string m_shownName;   // what the prefix box showed when last drawn by the run
    std::string m_folderShown; // what the output folder box held when the record was named
    std::string m_pendingName; // the name the next message in prefix mode goes on from
    bool m_namePending = false;
    std::string m_lastNamed; // of the last file named
    bool m_namedSinceShown = false;
};

} // namespace

std::string mailboxPath(std::string_view inputFolder, std::string_view mailboxName)
{
    using extract::ErrorKind;
    using extract::ExtractError;
    if (inputFolder.empty())
        throw ExtractError(ErrorKind::Settings, {}, "No input folder is given. Type or choose the folder that holds the mailbox.");
    if (mailboxName.empty())
        throw ExtractError(ErrorKind::Settings, {}, "No mailbox is chosen. Choose the mailbox file to extract.");
    return text::joinPath(inputFolder, mailboxName);
}

void Form1Handlers::cmdx1_Click()
{
    if (m_running)
        return; // a rebuild of the mailbox list cannot start a second run inside the first
    std::string path;
    try {
        path = mailboxPath(m_view.text(Control::inpth1), m_view.text(Control::infil1));
    } catch (const extract::ExtractError& e) {
        m_view.showMessage(e.what(), MessageKind::Error);
        return;
    }
    // A new run starts uncancelled, whatever an earlier Cancel left behind.
    Module1::CancelRequested = Module1::False;
    m_running = true;
    enterRunningState();

    WindowRunHost host(m_view);
    std::optional<std::string> failure;
    bool refused = false; // the settings were refused: the user corrects them
    auto ending = extract::RunEnding::Cancelled;
    try {
        ending = extract::runMailbox({path}, extract::emlStore(host), host, {}).ending;
    } catch (const extract::ExtractError& e) {
        failure = e.what();
        refused = e.kind() == extract::ErrorKind::Settings;
    } catch (...) { // whatever else goes wrong ends the run in words, never the program
        failure = extract::describeFailure(std::current_exception());
    }
    if (!m_closed) { // a closed window is left alone
        host.redrawCaptions();
        if (failure)
            m_view.showMessage(*failure, MessageKind::Error);
        else if (ending == extract::RunEnding::Completed)
            m_view.showMessage("Extraction Complete", MessageKind::Plain);
        resetAfterRun(!refused);
    }
    m_running = false;
}

// A keyboard user who pressed Extract finds the focus on Cancel during the run and back
// on Extract after it, rather than on a hidden button or on no control at all.
void Form1Handlers::enterRunningState()
{
    const bool focused = m_view.hasFocus(Control::cmdx1);
    m_view.setVisible(Control::Command1, true);
    m_view.setBusyPointer(true);
    m_view.setVisible(Control::cmdx1, false);
    if (focused)
        m_view.setFocus(Control::Command1);
    m_view.setVisible(Control::prog1, true);
    m_view.setVisible(Control::Label1, true);
}

void Form1Handlers::resetAfterRun(bool resetPrefix)
{
    const bool focused = m_view.hasFocus(Control::Command1);
    m_view.setBusyPointer(false);
    m_view.setVisible(Control::Label1, false);
    m_view.setVisible(Control::prog1, false);
    m_view.setVisible(Control::Command1, false);
    m_view.setVisible(Control::cmdx1, true);
    if (focused)
        m_view.setFocus(Control::cmdx1);
    if (resetPrefix)
        m_view.setText(Control::fpref1, "File");
}

} // namespace carrowin::app
