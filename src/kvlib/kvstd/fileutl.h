// fileutl: opening and closing streams with a failure report (1091, 1077),
// and the regular-file test.
#pragma once

#include <cstdio>

FILE* kvOpenFile(const char* path, const char* mode);
int kvFclose(FILE* stream);
int kvIsRegularFile(const char* path);
