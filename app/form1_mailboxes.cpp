// Finding the mailboxes: the proposed input folder and the mailbox list.
#include "form1.h"

#include "mailbox_list.h"
#include "message_boxes.h"
#include "sorted_combo.h"
#include "store_root.h"
#include "ui_form1.h"

#include <QFocusEvent>
#include <QKeyEvent>

#include <cstdlib>

void Form1::FindStoreRoot()
{
    const auto found = carrowin::locate::findStoreRoot(
        carrowin::locate::winePrefixFor(std::getenv("WINEPREFIX"), std::getenv("HOME")));
    if (found.errorCode != 0) {
        MessageBoxes::show(this, QStringLiteral("Registry read error ") + QString::number(found.errorCode));
        return;
    }
    const QString folder = QString::fromStdString(found.proposedFolder);
    ui->inpth1->addItem(folder);
    ui->inpth1->setEditText(folder);
}

void Form1::FillMailboxList()
{
    ui->infil1->clear();
    ui->infil1->clearEditText();
    const std::string folder = ui->inpth1->currentText().toStdString();
    if (folder.empty())
        return; // Extract keeps its visibility
    const std::vector<std::string> names = carrowin::locate::listMailboxes(folder);
    for (const std::string& name : names)
        addSortedEntry(ui->infil1, QString::fromStdString(name));
    ui->infil1->setEditText(ui->infil1->itemText(0));
    for (int i = 0; i < ui->infil1->count(); ++i) {
        if (ui->infil1->itemText(i).compare(QStringLiteral("Inbox.mbx"), Qt::CaseInsensitive) == 0) {
            ui->infil1->setEditText(ui->infil1->itemText(i));
            break;
        }
    }
    if (!m_running) // Extract stays hidden for the whole of a run
        ui->cmdx1->setVisible(!ui->infil1->currentText().isEmpty());
}

void Form1::inpth1_Change()
{
    FillMailboxList();
}

void Form1::inpth1_Click()
{
    rebuildWhenFolderExists();
}

void Form1::inpth1_KeyUp()
{
    rebuildWhenFolderExists();
}

void Form1::inpth1_LostFocus()
{
    rebuildWhenFolderExists();
}

void Form1::rebuildWhenFolderExists()
{
    const std::string text = ui->inpth1->currentText().toStdString();
    if (!text.empty() && carrowin::locate::entryExists(text))
        FillMailboxList();
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->inpth1->lineEdit() && event->type() == QEvent::KeyRelease
        && !static_cast<QKeyEvent*>(event)->isAutoRepeat())
        inpth1_KeyUp();
    if (watched == ui->inpth1 && event->type() == QEvent::FocusOut
        && static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
        inpth1_LostFocus();
    return QWidget::eventFilter(watched, event);
}
