#include "connection/vnc_object.h"
#include "core/app.h"

int main(int argc, char** argv)
{
    tnStartUp(argc, argv);
    VncObject::masterMessageLoop();
    return 0;
}
