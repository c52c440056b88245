// The extraction run behind the Extract button.
#include "form1.h"

#include "errors.h"
#include "extraction_run.h"
#include "message_boxes.h"
#include "module1.h"
#include "ui_form1.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QScreen>

#include <optional>

// Lets the run read its settings from the controls and show its progress. Captions are
// redrawn at most once per screen refresh: a repaint costs far more than writing a
// message file, and more often than the screen shows it is wasted.
class Form1::RunHost : public carrowin::extract::RunHost {
public:
    explicit RunHost(Form1& form) : m_ui(*form.ui)
    {
        const QScreen* screen = form.screen();
        const qreal hz = screen != nullptr && screen->refreshRate() > 1 ? screen->refreshRate() : 60.0;
        m_frameMs = static_cast<qint64>(1000.0 / hz);
        // A prefix the user types while the run goes on wins over the name not yet shown.
        m_userEdit = QObject::connect(m_ui.fpref1, &QLineEdit::textEdited, [this] { m_namePending = false; });
    }
    ~RunHost() override { QObject::disconnect(m_userEdit); }

    bool cancelRequested() override { return Module1::CancelRequested != Module1::False; }

    carrowin::extract::NamingSettings currentSettings() override
    {
        carrowin::extract::NamingSettings s;
        s.bySubject = m_ui.sopt1->isChecked();
        s.removeRe = m_ui.Check1->value() == 1;
        s.workingName = m_namePending ? m_pendingName : m_ui.fpref1->text().toStdString();
        s.outputFolder = m_ui.outpth1->text().toStdString();
        return s;
    }

    void nameChosen(const std::string& workingName, const std::string& outputFolder) override
    {
        m_pendingName = workingName;
        m_namePending = true;
        const QString folder = QString::fromStdString(outputFolder);
        if (m_ui.outpth1->text() != folder)
            m_ui.outpth1->setText(folder);
    }

    void fileWritten(const carrowin::extract::Progress& p) override
    {
        m_count = p.filesWritten;
        if (!m_shown.isValid() || m_shown.elapsed() >= m_frameMs)
            publish();
        QCoreApplication::processEvents();
    }

    // Brings the counter and the prefix box up to the last file written.
    void publish()
    {
        if (m_count > 0)
            m_ui.prog1->setText(QStringLiteral("File ") + QString::number(m_count));
        if (m_namePending)
            m_ui.fpref1->setText(QString::fromStdString(m_pendingName));
        m_namePending = false;
        m_shown.start();
    }

private:
    Ui::Form1& m_ui;
    qint64 m_frameMs = 16;
    QElapsedTimer m_shown;
    std::uint64_t m_count = 0;
    std::string m_pendingName;
    bool m_namePending = false;
    QMetaObject::Connection m_userEdit;
};

void Form1::cmdx1_Click()
{
    if (m_running)
        return; // a rebuild of the mailbox list cannot start a second run inside the first
    std::string path;
    try {
        path = carrowin::extract::mailboxPath(ui->inpth1->currentText().toStdString(),
                                              ui->infil1->currentText().toStdString());
    } catch (const carrowin::extract::ExtractError& e) {
        MessageBoxes::show(this, QString::fromStdString(e.what()), MessageBoxes::Kind::Error);
        return;
    }
    // A new run starts uncancelled, whatever an earlier Cancel left behind.
    Module1::CancelRequested = Module1::False;
    m_running = true;
    enterRunningState();

    RunHost host(*this);
    std::optional<QString> failure;
    auto ending = carrowin::extract::RunEnding::Cancelled;
    try {
        ending = carrowin::extract::runExtraction(path, host).ending;
    } catch (const carrowin::extract::ExtractError& e) {
        failure = QString::fromStdString(e.what());
    }
    if (!m_closed) { // a closed window is left alone
        host.publish();
        if (failure)
            MessageBoxes::show(this, *failure, MessageBoxes::Kind::Error);
        else if (ending == carrowin::extract::RunEnding::Completed)
            MessageBoxes::show(this, QStringLiteral("Extraction Complete"));
        resetAfterRun();
    }
    m_running = false;
}

void Form1::enterRunningState()
{
    ui->Command1->show();
    setCursor(Qt::WaitCursor);
    ui->cmdx1->hide();
    ui->prog1->show();
    ui->Label1->show();
}

void Form1::resetAfterRun()
{
    unsetCursor();
    ui->Label1->hide();
    ui->prog1->hide();
    ui->Command1->hide();
    ui->cmdx1->show();
    ui->fpref1->setText(QStringLiteral("File"));
}
