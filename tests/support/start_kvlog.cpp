// The logging library's start-up, done before main in kvlog's test
// program, as the program's own main does first thing.
#include "kvlog/kvraise.h"

namespace {
const bool started = (kvLogStartUp(), true);
}
