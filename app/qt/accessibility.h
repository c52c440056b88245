#pragma once
// What a screen reader needs to know of the window that its widgets do not say by
// themselves: a combo box is named by its purpose, not by the text it holds; the window is a window (not a bare client area) named by its caption, the
// band headings are headings, the rules are separators named after their heading, and
// the file counter is a progress indicator whose value is the count. The widgets of
// form1.ui ask for a role with the property "accessibleRole": heading, separator or
// progress.
class QWidget;

void installAccessibleRoles();

// Tells a screen reader that the counter `w` shows a new value.
void announceValueChange(QWidget* w);
