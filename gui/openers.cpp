#include "gui/openers.h"

TNOpeners& tnOpeners()
{
    static TNOpeners openers;
    return openers;
}
