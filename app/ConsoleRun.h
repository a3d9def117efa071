#ifndef CONSOLERUN_H
#define CONSOLERUN_H

#include "CommandLine.h"

// The runs that open no window: help, version, a refused command line, the device list
// and the headless recording. Each creates its own application object and returns the
// process exit code.
int runCommandLineAction(const CommandLine& commandLine, CommandLine::Action action, int& argc, char** argv);
int runHeadlessRecording(const LaunchOptions& options, int& argc, char** argv);

#endif // CONSOLERUN_H
