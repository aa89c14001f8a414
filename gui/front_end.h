// The connection engine's front end: the host list, the quick-info panel and the viewer.
#pragma once

class TNFrontEnd;

// The one instance; start-up installs it with tnSetFrontEnd.
TNFrontEnd& tnGuiFrontEnd();
