#include "sorted_combo.h"

#include "mailbox_list.h"

#include <QComboBox>

void addSortedEntry(QComboBox* box, const QString& entry)
{
    const std::string key = entry.toStdString();
    int i = 0;
    while (i < box->count() && !carrowin::locate::lessIgnoringCase(key, box->itemText(i).toStdString()))
        ++i;
    box->insertItem(i, entry);
}
