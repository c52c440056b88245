#pragma once
// Every message box of the program goes through here, so that tests can answer them.
#include <QString>

#include <functional>

class QWidget;

namespace MessageBoxes {

enum class Kind { Plain, Error };

// A modal box titled "Carrowin" with an OK button only; Plain has no icon.
void show(QWidget* parent, const QString& text, Kind kind = Kind::Plain);

// While set, boxes are not shown: the answerer gets their text instead.
void setAnswerer(std::function<void(const QString& text, Kind kind)> answerer);

} // namespace MessageBoxes
