// Times one extraction run of the window, driven offscreen: the same mailbox and output
// folder as carrowin-cli gets. Prints the seconds the run took.
//   window-bench MAILBOX OUTDIR
//   window-bench --list FOLDER     the time to list the mailboxes of FOLDER instead
#include "application.h"
#include "form1.h"
#include "message_boxes.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>

#include <cstdio>
#include <string_view>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    prepareQtApplication();
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: window-bench MAILBOX OUTDIR | window-bench --list FOLDER\n");
        return 2;
    }
    if (std::string_view(argv[1]) == "--list") {
        Form1 form;
        auto* folder = form.findChild<QComboBox*>(QStringLiteral("inpth1"));
        auto* list = form.findChild<QComboBox*>(QStringLiteral("infil1"));
        QElapsedTimer timer;
        timer.start();
        folder->setEditText(QString::fromLocal8Bit(argv[2])); // as typed or pasted: inpth1_Change
        QCoreApplication::processEvents();
        std::printf("%.4f\n", static_cast<double>(timer.nsecsElapsed()) / 1e9);
        return list->count() > 0 ? 0 : 1;
    }
    QString failure;
    MessageBoxes::setAnswerer([&](const QString& text, MessageBoxes::Kind kind) {
        if (kind == MessageBoxes::Kind::Error)
            failure = text;
    });
    Form1 form;
    form.handlers().Form_Load();
    const QFileInfo mailbox(QString::fromLocal8Bit(argv[1]));
    form.findChild<QComboBox*>(QStringLiteral("inpth1"))->setEditText(mailbox.absolutePath());
    form.findChild<QComboBox*>(QStringLiteral("infil1"))->setEditText(mailbox.fileName());
    form.findChild<QLineEdit*>(QStringLiteral("outpth1"))->setText(QString::fromLocal8Bit(argv[2]));

    QElapsedTimer timer;
    timer.start();
    form.handlers().cmdx1_Click();
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "window-bench: %s\n", qPrintable(failure));
        return 1;
    }
    std::printf("%.4f\n", seconds);
    return 0;
}
