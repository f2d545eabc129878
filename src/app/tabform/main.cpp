// tabcopy: COBOL record definitions to SQL DDL.
#include "kvstd/memutl.h"
#include "kvstd/trace.h"
#include "tabform/driver.h"

int main(int argc, char** argv) {
    // Before anything is allocated: exhausted memory must end the run
    // through the abend path from the first allocation on.
    kvInstallMemoryFailureHandlers();
    kvMemTestHookStartUp();
    kvTraceStartUp();
    return tabcopy_main(argc, argv);
}
