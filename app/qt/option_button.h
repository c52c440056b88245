#pragma once
#include <QRadioButton>

// An option button that takes a click anywhere in its rectangle, as the native window's
// do, not only on its circle and caption.
class OptionButton : public QRadioButton {
public:
    using QRadioButton::QRadioButton;

protected:
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};
