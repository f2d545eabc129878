// config: owns global_settings. The record is reset exactly once per
// process, before anything is stored in it; GLOBALS is read right after.
#include "kvstd/config.h"

global_settings_t global_settings;
int global_settings_loaded = 0;

void load_global_settings() {
    global_settings = global_settings_t{};
    global_settings.mgr_serv_name = "KVXMGR";
    global_settings.schema = "KVXUSER";
    global_settings_loaded = 1;
    readGlobalConfigFile();
}

void readGlobalConfigFile() {
    // The GLOBALS language reader is not part of this program yet; without
    // it the defaults stand, exactly as when no GLOBALS file exists.
}
