#pragma once
#include <QIcon>

// The window's icon, drawn at 16 and 32 pixels: an envelope splitting into sheets.
QIcon makeWindowIcon();
