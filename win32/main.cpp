#include <windows.h>

#include "../sampler/screen.h"
#include "form1_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    Form1Window window(openSystemScreen());
    return window.run(instance, show);
}
