// tabcopy: COBOL record definitions to SQL DDL.
#include "tabform/driver.h"

int main(int argc, char** argv) { return tabcopy_main(argc, argv); }
