// params: owns the DDL output stream, the template path and def_table.
#include "tabform/params.h"

ddl_output_t ddl_file{stdout, "stdout"};
std::string templ_file_name;
int16_t trace_switch = 0;
TABUTL_array* def_table = nullptr;

void get_infile_params() {
    // Reading the run parameter file comes with the command reader.
}
