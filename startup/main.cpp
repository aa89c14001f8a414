#include "connection/vnc_object.h"
#include "startup/startup.h"

int main(int argc, char** argv)
{
    tnSetUpState();
    tnStartUp(argc, argv);
    VncObject::masterMessageLoop();
    return 0;
}
