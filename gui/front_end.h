// The connection engine's front end: the host list, the quick-info panel and the viewer.
#pragma once

#include "connection/front_end.h"

class Fl_Pixmap;
class HostItem;

// The one instance; start-up installs it with tnSetFrontEnd.
TNFrontEnd& tnGuiFrontEnd();
// The image of a status in the chosen icon set.
Fl_Pixmap* tnStatusIcon(TNHostIcon icon);
// The image of the host's status, or null before its first attempt.
Fl_Pixmap* tnHostStatusImage(const HostItem* itm);
