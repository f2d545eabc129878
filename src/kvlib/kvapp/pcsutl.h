// pcsutl: who and where the program runs: the framed start banner, the
// operating-system description and the process id.
#pragma once

#include <string>

#include "kvlog/osdesc.h"
#include "kvstd/timecnv.h"

// Process id text of the last kvGetProcessID.
extern char kvProcessIdText[32];

void kvGetProcessID(const tm_ext* start_time);
void kvPrintOSVersion();
void kvGetOSVersion(kvOSVersion* out);
