#include "form1.h"

#include "module1.h"
#include "ui_form1.h"
#include "window_icon.h"

#include <QCloseEvent>
#include <QDir>
#include <QFont>
#include <QScreen>
#include <QShortcut>
#include <QStyle>

namespace {

const QString kWindowFont = QStringLiteral("MS Sans Serif");

// Where the window font is missing, a sans-serif face stands in at the same sizes.
void installFontSubstitutes()
{
    QFont::insertSubstitutions(kWindowFont, {QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Liberation Sans"),
                                             QStringLiteral("Arimo"), QStringLiteral("DejaVu Sans")});
}

} // namespace

Form1::Form1(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::Form1>())
{
    installFontSubstitutes();
    ui->setupUi(this);
    applyDescriptionFonts();
    setWindowIcon(makeWindowIcon());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(size());
    ui->Check1->raise();
    connectHandlers();
    Module1::Form1Ref = this;
}

Form1::~Form1()
{
    // Form_Terminate
    Module1::Form1Ref = nullptr;
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
    connect(ui->sopt1, &QRadioButton::clicked, this, &Form1::sopt1_Click);
    connect(ui->sopt2, &QRadioButton::clicked, this, &Form1::sopt2_Click);
    connect(ui->Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(ui->cmdx1, &QPushButton::clicked, this, &Form1::cmdx1_Click);
    connect(ui->inpth1, &QComboBox::editTextChanged, this, &Form1::inpth1_Change);
    connect(ui->inpth1, &QComboBox::activated, this, &Form1::inpth1_Click);
    ui->inpth1->installEventFilter(this);
    ui->inpth1->lineEdit()->installEventFilter(this);
    // Command1 is the window's cancel button: Esc presses it while it is shown.
    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(esc, &QShortcut::activated, this, [this] {
        if (ui->Command1->isVisible())
            ui->Command1->click();
    });
}

void Form1::Form_Load()
{
    Module1::CancelRequested = Module1::False;
    FindStoreRoot();
    ui->sopt1->setChecked(true);
    ui->sopt2->setChecked(false);
    ui->Check1->setValue(1);
    ui->fpref1->setEnabled(true);
    ui->Command1->hide();
    ui->outpth1->setText(QDir::toNativeSeparators(QDir::currentPath()));
    ui->Label1->hide();
    ui->prog1->hide();
    if (Module1::Form1Ref) {
        if (const QScreen* screen = Module1::Form1Ref->screen())
            Module1::Form1Ref->setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(),
                                                               screen->availableGeometry()));
        Module1::Form1Ref->show();
    }
}

void Form1::sopt1_Click()
{
    ui->sopt1->setChecked(true);
    ui->sopt2->setChecked(false);
    ui->Check1->setValue(1);
    ui->fpref1->setEnabled(false);
}

void Form1::sopt2_Click()
{
    ui->sopt2->setChecked(true);
    ui->sopt1->setChecked(false);
    ui->Check1->setValue(2);
    ui->fpref1->setEnabled(true);
}

void Form1::Command1_Click()
{
    Module1::CancelRequested = Module1::True;
}

void Form1::closeEvent(QCloseEvent* event)
{
    // Form_Unload: a run in progress stops before its next record; closing is never refused.
    Module1::CancelRequested = Module1::True;
    Module1::Form1Ref = nullptr;
    m_closed = true;
    event->accept();
}
