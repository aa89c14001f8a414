#include "gui/main_loop.h"
#include "startup/command_line.h"
#include "startup/startup.h"

int main(int argc, char** argv)
{
    tnHandleCommandLine(argc, argv);
    tnSetUpState();
    tnStartUp(argc, argv);
    tnRunMainLoop();
    return 0;
}
