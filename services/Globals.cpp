// The process-wide bindings, defined together so that their construction
// follows this order (and their destruction the reverse): the localisation
// library first, the logging binding last.
#include "services/InfoLog.h"
#include "services/Localize.h"

CZelLibrary g_LocLibrary;
ZelInfoLog g_ZelInfoLog;
