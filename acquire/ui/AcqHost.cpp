#include "acquire/ui/AcqHost.h"

SAcqHost& AcqHost()
{
    static SAcqHost host;
    return host;
}
