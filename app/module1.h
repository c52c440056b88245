#pragma once
// What the whole program shares.
#include <QPointer>
#include <QtGlobal>

class Form1;

namespace Module1 {

inline constexpr qint16 True = -1;
inline constexpr qint16 False = 0;

// Set by Cancel and by closing the window, read by the extraction run before every record.
extern qint16 CancelRequested;

// The one window, from start-up until it is closed or destroyed.
extern QPointer<Form1> Form1Ref;

} // namespace Module1
