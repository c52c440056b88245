// Finding the mailboxes: the proposed input folder and the mailbox list.
#include "form1_handlers.h"

#include "mailbox_list.h"
#include "store_root.h"

#include <cstdlib>

namespace carrowin::app {

void Form1Handlers::FindStoreRoot()
{
    const auto found = locate::findStoreRoot(locate::winePrefixFor(std::getenv("WINEPREFIX"), std::getenv("HOME")));
    if (found.errorCode != 0) {
        m_view.showMessage("Registry read error " + std::to_string(found.errorCode), MessageKind::Plain);
        return;
    }
    m_view.addListEntries(Control::inpth1, {found.proposedFolder});
    m_view.setText(Control::inpth1, found.proposedFolder);
    inpth1_Change(); // what setting the text does
}

void Form1Handlers::FillMailboxList()
{
    m_view.clearList(Control::infil1);
    const std::string folder = m_view.text(Control::inpth1);
    if (folder.empty())
        return; // Extract keeps its visibility
    m_view.addListEntries(Control::infil1, locate::listMailboxes(folder));
    m_view.setText(Control::infil1, m_view.listEntry(Control::infil1, 0));
    for (int i = 0, n = m_view.listCount(Control::infil1); i < n; ++i) {
        const std::string entry = m_view.listEntry(Control::infil1, i);
        if (locate::isInboxName(entry)) {
            m_view.setText(Control::infil1, entry);
            break;
        }
    }
    if (!m_running) // Extract stays hidden for the whole of a run
        m_view.setVisible(Control::cmdx1, !m_view.text(Control::infil1).empty());
}

void Form1Handlers::inpth1_Change()
{
    FillMailboxList();
}

void Form1Handlers::inpth1_Click()
{
    rebuildWhenFolderExists();
}

void Form1Handlers::inpth1_KeyUp()
{
    rebuildWhenFolderExists();
}

void Form1Handlers::inpth1_LostFocus()
{
    rebuildWhenFolderExists();
}

void Form1Handlers::rebuildWhenFolderExists()
{
    const std::string text = m_view.text(Control::inpth1);
    if (!text.empty() && locate::entryExists(text))
        FillMailboxList();
}

} // namespace carrowin::app
