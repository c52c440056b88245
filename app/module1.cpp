#include "module1.h"

#include "form1.h"

namespace Module1 {

qint16 CancelRequested = False;
QPointer<Form1> Form1Ref;

} // namespace Module1
