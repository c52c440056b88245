#include "application.h"
#include "process_setup.h"
#include "form1.h"

#include <QApplication>

int main(int argc, char** argv)
{
    prepareQtApplication();
    carrowin::extract::allowOpenFiles();
    carrowin::extract::reuseFreedMemory();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Carrowin"));
    Form1 form;
    form.handlers().Form_Load();
    return QApplication::exec();
}
