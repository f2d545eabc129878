// tabcopy: COBOL record definitions to SQL DDL.
#include "kvapp/startup.h"
#include "kvstd/memutl.h"
#include "kvstd/trace.h"
#include "tabform/driver.h"

int main(int argc, char** argv) {
    kvAppStartUp();
    // Before anything is allocated: exhausted memory must end the run
    // through the abend path from the first allocation on.
    kvInstallMemoryFailureHandlers();
    kvMemTestHookStartUp();
    kvTraceStartUp();
    return tabcopy_main(argc, argv);
}
