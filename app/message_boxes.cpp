#include "message_boxes.h"

#include <QMessageBox>

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
    QMessageBox box(kind == Kind::Error ? QMessageBox::Warning : QMessageBox::NoIcon, QStringLiteral("Carrowin"), text,
                    QMessageBox::Ok, parent);
    box.exec();
}

void setAnswerer(std::function<void(const QString&, Kind)> a)
{
    answerer() = std::move(a);
}

} // namespace MessageBoxes
