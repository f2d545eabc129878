// The application library's start-up, done before main in the test
// programs of kvapp and above, as the program's own main does first thing.
#include "kvapp/startup.h"

namespace {
const bool started = (kvAppStartUp(), true);
}
