#include "application.h"
#include "form1.h"

#include <QApplication>

int main(int argc, char** argv)
{
    prepareQtApplication();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Carrowin"));
    Form1 form;
    form.handlers().Form_Load();
    return QApplication::exec();
}
