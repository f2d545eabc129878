// startup: connects the lower libraries to the services this one owns.
// The base library raises messages and reads GLOBALS, the logging library
// writes events and pauses after an abend; both reach upward only through
// the hooks filled in here.
#pragma once

// Installs the logging library's message handlers, the command file
// reader for GLOBALS and the console for events. Call once, first thing in
// main, before anything reads the settings or raises a message.
void kvAppStartUp();
