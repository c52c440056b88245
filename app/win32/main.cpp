// carrowin.exe: the window, and the message loop that runs it until it is closed.
#include "form1_win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    carrowin::win32::Form1 form(instance);
    form.setQuitOnDestroy(true);
    form.handlers().Form_Load();
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!carrowin::win32::Form1::translate(msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return 0;
}
