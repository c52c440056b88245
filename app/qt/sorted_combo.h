#pragma once
#include <QStringList>

class QComboBox;

// Adds the entries at their alphabetical places, ignoring case, so that the list stays
// sorted whatever order entries arrive in (a combo box sorts only what the user adds).
// The whole list is sorted once and filled once: 20,000 mailboxes list at once.
void addSortedEntries(QComboBox* box, const QStringList& entries);
