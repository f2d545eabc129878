// templ: the DDL template file (table-creation text, type map, options).
#pragma once

void read_templ_file();
