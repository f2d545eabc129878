// templ: reads the DDL template named by DDLTEMPLATEFILE.
#include "tabform/templ.h"

void read_templ_file() {
    // The template reader comes with the DDL writer.
}
