#pragma once
#include <QCheckBox>

// A check box that the program can grey (value 2) while a click by the user only ever
// checks or unchecks it. Like the native window's, it takes a click anywhere in its
// rectangle.
class ThreeStateCheckBox : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

    // 0 unchecked, 1 checked, 2 greyed.
    int value() const;
    void setValue(int value);

protected:
    void nextCheckState() override;
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};
