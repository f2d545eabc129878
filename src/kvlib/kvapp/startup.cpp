// startup: the one place where kvstd and kvlog learn of kvapp's services.
#include "kvapp/startup.h"

#include "kvapp/console.h"
#include "kvapp/interrupt.h"
#include "kvapp/parmscn.h"
#include "kvlog/LegacyErrorHandling.h"
#include "kvlog/kvraise.h"
#include "kvstd/config.h"

void kvAppStartUp() {
    kvLogStartUp();
    kvSetGlobalsReader(ci_get_next_cmd);
    kvSetEventConsole({kvReportWrite, kvPauseAtAbend});
}
