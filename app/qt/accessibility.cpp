#include "accessibility.h"

#include <QAccessible>
#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLabel>

namespace {

// The count a counter's caption ends with ("File 42"), 0 before the first.
int countIn(const QString& caption)
{
    qsizetype digits = caption.size();
    while (digits > 0 && caption[digits - 1].isDigit())
        --digits;
    return caption.mid(digits).toInt();
}

// A widget with the role its description gives. A label keeps its caption as its name;
// a counter, a progress indicator without a known end (as a busy progress bar has it),
// gives its caption as its value text and the count in it as its value.
class RoleInterface : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    RoleInterface(QWidget* w, QAccessible::Role role) : QAccessibleWidget(w, role) {}

    QString text(QAccessible::Text t) const override
    {
        const auto* label = qobject_cast<const QLabel*>(widget());
        if (label != nullptr && t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return label->text();
        if (label != nullptr && t == QAccessible::Value && role() == QAccessible::ProgressBar)
            return label->text();
        return QAccessibleWidget::text(t);
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface && role() == QAccessible::ProgressBar)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QVariant currentValue() const override { return countIn(text(QAccessible::Value)); }
    void setCurrentValue(const QVariant&) override {} // shown, not set
    QVariant maximumValue() const override { return 0; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }
};

// A combo box named by its purpose. Qt's own gives the text it holds as its name, even
// where the box has a name of its own; this one gives the text as its value, keeps the
// edit field inside it, and opens its list as the action a screen reader offers.
class NamedComboBox : public QAccessibleWidget {
public:
    explicit NamedComboBox(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return box()->currentText();
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.editable = box()->isEditable();
        s.expandable = true;
        s.expanded = box()->view()->isVisible();
        s.collapsed = !s.expanded;
        return s;
    }

    QStringList actionNames() const override
    {
        return QStringList{showMenuAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override
    {
        if (action == showMenuAction())
            box()->showPopup();
        else
            QAccessibleWidget::doAction(action);
    }

private:
    QComboBox* box() const { return static_cast<QComboBox*>(widget()); }
};

QAccessibleInterface* roleFactory(const QString& key, QObject* object)
{
    auto* w = qobject_cast<QWidget*>(object);
    if (w == nullptr || key != QLatin1String(object->metaObject()->className()))
        return nullptr; // asked once, for the most derived class
    if (key == QLatin1String("Form1"))
        return new RoleInterface(w, QAccessible::Window);
    if (auto* box = qobject_cast<QComboBox*>(w))
        return new NamedComboBox(box);
    const QString role = w->property("accessibleRole").toString();
    if (role == QLatin1String("heading"))
        return new RoleInterface(w, QAccessible::Heading);
    if (role == QLatin1String("separator"))
        return new RoleInterface(w, QAccessible::Separator);
    if (role == QLatin1String("progress"))
        return new RoleInterface(w, QAccessible::ProgressBar);
    return nullptr;
}

} // namespace

void installAccessibleRoles()
{
    static const bool installed = [] {
        QAccessible::installFactory(roleFactory);
        return true;
    }();
    (void)installed;
}

void announceValueChange(QWidget* w)
{
    if (!QAccessible::isActive())
        return;
    const auto* label = qobject_cast<const QLabel*>(w);
    QAccessibleValueChangeEvent event(w, label != nullptr ? countIn(label->text()) : 0);
    QAccessible::updateAccessibility(&event);
}
