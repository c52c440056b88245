#include "form1.h"

#include "accessibility.h"
#include "message_boxes.h"
#include "sorted_combo.h"
#include "three_state_check_box.h"
#include "ui_form1.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QFont>
#include <QIcon>
#include <QKeyEvent>
#include <QScreen>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStyle>

using carrowin::app::Control;

// The window's pictures live in this static library: the program registers them.
static void registerResources()
{
    Q_INIT_RESOURCE(carrowin);
}

namespace {

const QString kWindowFont = QStringLiteral("MS Sans Serif");

// Where the window font is missing, a sans-serif face stands in at the same sizes.
void installFontSubstitutes()
{
    QFont::insertSubstitutions(kWindowFont, {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Liberation Sans"),
                                             QStringLiteral("Arimo"), QStringLiteral("DejaVu Sans")});
}

QString qs(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

} // namespace

Form1::Form1(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::Form1>()), m_handlers(*this)
{
    installFontSubstitutes();
    installAccessibleRoles();
    ui->setupUi(this);
    setWindowTitle(QString::fromUtf8(carrowin::app::kForm1Caption));
    for (std::size_t i = 0; i < carrowin::app::kControlCount; ++i) {
        const auto c = static_cast<Control>(i);
        m_widgets[i] = findChild<QWidget*>(QString::fromLatin1(carrowin::app::nameOf(c)));
        if (const char* name = carrowin::app::accessibleNameOf(c))
            m_widgets[i]->setAccessibleName(QString::fromUtf8(name));
    }
    for (QComboBox* box : {ui->inpth1, ui->infil1}) // the field inside is the box itself
        box->lineEdit()->setAccessibleName(box->accessibleName());
    applyDescriptionFonts();
    registerResources();
    QIcon icon; // the picture of app/icons, as the desktop shows it
    icon.addFile(QStringLiteral(":/icons/carrowin-16.png"));
    icon.addFile(QStringLiteral(":/icons/carrowin-32.png"));
    setWindowIcon(icon);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(size());
    ui->Check1->raise();
    connectHandlers();
}

Form1::~Form1()
{
    m_handlers.Form_Terminate();
}

// The description gives font sizes as "fontPointSize", since Designer files hold whole
// points only; a control without one keeps its container's font.
void Form1::applyDescriptionFonts()
{
    QList<QWidget*> widgets = findChildren<QWidget*>();
    widgets.prepend(this);
    for (QWidget* w : widgets) {
        const QVariant size = w->property("fontPointSize");
        if (!size.isValid())
            continue;
        QFont f(kWindowFont);
        f.setStyleHint(QFont::SansSerif);
        f.setPointSizeF(size.toDouble());
        w->setFont(f);
    }
}

void Form1::connectHandlers()
{
    auto& h = m_handlers;
    connect(ui->sopt1, &QRadioButton::clicked, this, [&h] { h.sopt1_Click(); });
    connect(ui->sopt2, &QRadioButton::clicked, this, [&h] { h.sopt2_Click(); });
    connect(ui->Command1, &QPushButton::clicked, this, [&h] { h.Command1_Click(); });
    connect(ui->cmdx1, &QPushButton::clicked, this, [&h] { h.cmdx1_Click(); });
    connect(ui->inpth1, &QComboBox::editTextChanged, this, [&h] { h.inpth1_Change(); });
    connect(ui->inpth1, &QComboBox::activated, this, [&h] { h.inpth1_Click(); });
    ui->inpth1->installEventFilter(this);
    ui->inpth1->lineEdit()->installEventFilter(this);
    // Command1 is the window's cancel button: Esc presses it while it is shown.
    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(esc, &QShortcut::activated, this, [this] {
        if (ui->Command1->isVisible())
            ui->Command1->click();
    });
}

void Form1::closeEvent(QCloseEvent* event)
{
    m_handlers.Form_Unload();
    event->accept();
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->inpth1->lineEdit() && event->type() == QEvent::KeyRelease
        && !static_cast<QKeyEvent*>(event)->isAutoRepeat())
        m_handlers.inpth1_KeyUp();
    if (watched == ui->inpth1 && event->type() == QEvent::FocusOut
        && static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason)
        m_handlers.inpth1_LostFocus();
    return QWidget::eventFilter(watched, event);
}

QWidget* Form1::widget(Control c) const
{
    return m_widgets[static_cast<std::size_t>(c)];
}

std::string Form1::text(Control c) const
{
    QWidget* w = widget(c);
    if (auto* box = qobject_cast<QComboBox*>(w))
        return box->currentText().toStdString();
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        return edit->text().toStdString();
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->text().toStdString();
    return {};
}

void Form1::setText(Control c, const std::string& text)
{
    QWidget* w = widget(c);
    // The handler that sets a text runs what the change means; the box must not again.
    const QSignalBlocker quiet(w);
    if (auto* box = qobject_cast<QComboBox*>(w))
        box->setEditText(qs(text));
    else if (auto* edit = qobject_cast<QLineEdit*>(w))
        edit->setText(qs(text));
    else if (auto* label = qobject_cast<QLabel*>(w)) {
        label->setText(qs(text));
        if (c == Control::prog1)
            announceValueChange(label);
    }
}

int Form1::value(Control c) const
{
    if (c == Control::Check1)
        return ui->Check1->value();
    const auto* option = qobject_cast<QRadioButton*>(widget(c));
    return option != nullptr && option->isChecked() ? -1 : 0;
}

void Form1::setValue(Control c, int value)
{
    if (c == Control::Check1)
        ui->Check1->setValue(value);
    else if (auto* option = qobject_cast<QRadioButton*>(widget(c)))
        option->setChecked(value != 0);
}

bool Form1::isVisible(Control c) const
{
    return !widget(c)->isHidden();
}

void Form1::setVisible(Control c, bool visible)
{
    widget(c)->setVisible(visible);
}

void Form1::setEnabled(Control c, bool enabled)
{
    widget(c)->setEnabled(enabled);
}

bool Form1::hasFocus(Control c) const
{
    return widget(c)->hasFocus();
}

void Form1::setFocus(Control c)
{
    widget(c)->setFocus(Qt::OtherFocusReason);
}

void Form1::clearList(Control c)
{
    auto* box = qobject_cast<QComboBox*>(widget(c));
    const QSignalBlocker quiet(box);
    box->clear();
    box->clearEditText();
}

void Form1::addListEntries(Control c, const std::vector<std::string>& entries)
{
    auto* box = qobject_cast<QComboBox*>(widget(c));
    const QSignalBlocker quiet(box);
    QStringList list;
    list.reserve(static_cast<qsizetype>(entries.size()));
    for (const std::string& entry : entries)
        list.push_back(qs(entry));
    if (c == Control::infil1) // the mailbox list keeps itself sorted
        addSortedEntries(box, list);
    else
        box->addItems(list);
}

int Form1::listCount(Control c) const
{
    return qobject_cast<QComboBox*>(widget(c))->count();
}

std::string Form1::listEntry(Control c, int index) const
{
    return qobject_cast<QComboBox*>(widget(c))->itemText(index).toStdString();
}

void Form1::showMessage(const std::string& text, carrowin::app::MessageKind kind)
{
    MessageBoxes::show(this, qs(text),
                       kind == carrowin::app::MessageKind::Error ? MessageBoxes::Kind::Error : MessageBoxes::Kind::Plain);
}

void Form1::setBusyPointer(bool busy)
{
    if (busy)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

void Form1::processPendingEvents()
{
    QCoreApplication::processEvents();
}

void Form1::showWindow()
{
    if (const QScreen* s = screen())
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), s->availableGeometry()));
    show();
}

std::chrono::milliseconds Form1::frameInterval() const
{
    const QScreen* s = screen();
    const qreal hz = s != nullptr && s->refreshRate() > 1 ? s->refreshRate() : 60.0;
    return std::chrono::milliseconds(static_cast<long>(1000.0 / hz));
}
