#include "message_boxes.h"

#include <QMessageBox>
#include <QWidget>

namespace MessageBoxes {
namespace {

std::function<void(const QString&, Kind)>& answerer()
{
    static std::function<void(const QString&, Kind)> a;
    return a;
}

} // namespace

void show(QWidget* parent, const QString& text, Kind kind)
{
    if (answerer()) {
        answerer()(text, kind);
        return;
    }
    // Before the window is shown (start-up) the box centres on the screen instead.
    QWidget* owner = parent != nullptr && parent->isVisible() ? parent : nullptr;
    QMessageBox box(kind == Kind::Error ? QMessageBox::Warning : QMessageBox::NoIcon, QStringLiteral("Carrowin"), text,
                    QMessageBox::Ok, owner);
    box.exec();
}

void setAnswerer(std::function<void(const QString&, Kind)> a)
{
    answerer() = std::move(a);
}

} // namespace MessageBoxes
