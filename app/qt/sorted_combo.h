#pragma once
class QComboBox;
class QString;

// Inserts the entry at its alphabetical place, ignoring case, so that the list stays
// sorted whatever order entries arrive in (a combo box sorts only what the user adds).
void addSortedEntry(QComboBox* box, const QString& entry);
