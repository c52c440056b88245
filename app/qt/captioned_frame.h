#pragma once
#include <QGroupBox>

// A frame drawn as the native window draws one: its caption sits on the top border, which
// runs through the middle of the caption's line, not beneath it. What it holds keeps its
// places, given from the frame's top-left corner.
class CaptionedFrame : public QGroupBox {
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent* event) override;
};
