#pragma once
// What the Qt window asks of Qt before the application object exists.
#include <QByteArray>
#include <QtGlobal>

// The window needs no GLib main loop, and with Qt's own event loop the yield after every
// file of a run costs less (one poll of the display connection, without GLib's sources).
// A user's own QT_NO_GLIB setting stays as it is.
inline void prepareQtApplication()
{
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", QByteArrayLiteral("1"));
}
