// tabcopy: COBOL record definitions to SQL DDL.
#include "kvstd/trace.h"
#include "tabform/driver.h"

int main(int argc, char** argv) { kvTraceStartUp(); return tabcopy_main(argc, argv); }
