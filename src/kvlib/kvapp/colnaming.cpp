// colnaming: owns expand_options, which lives for the whole run and is
// changed only field by field.
#include "kvapp/colnaming.h"

#include "kvstd/memutl.h"

expand_options_t* expand_options = nullptr;

void create_expand_options() {
    expand_options = static_cast<expand_options_t*>(kvMalloc(sizeof(expand_options_t)));
    if (!expand_options) return;
    *expand_options = expand_options_t{3, 1, 0, 0, 1, 0, 1, 30};
}
