#include "connection/vnc_object.h"
#include "startup/command_line.h"
#include "startup/startup.h"

int main(int argc, char** argv)
{
    tnHandleCommandLine(argc, argv);
    tnSetUpState();
    tnStartUp(argc, argv);
    VncObject::masterMessageLoop();
    return 0;
}
