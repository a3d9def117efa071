#ifndef CONSOLERUN_H
#define CONSOLERUN_H

#include "CommandLine.h"

// The runs that open no window: help, version, a refused command line, the device list,
// the headless recording and a start without a display. Each creates its own application object and returns the
// process exit code.
int runCommandLineAction(const CommandLine& commandLine, CommandLine::Action action, int& argc, char** argv);
int runHeadlessRecording(const LaunchOptions& options, int& argc, char** argv);
// Says on standard error that no window can open, and how to go on; returns the exit code 1.
int reportNoDisplay(int& argc, char** argv);

// For --tcpip, before mirroring: brings the device onto Wi-Fi in the application's event loop,
// telling the steps on standard output. 0 with options naming the wireless device; otherwise
// the failure is on standard error and the result is the exit code.
int switchToWireless(LaunchOptions& options);

#endif // CONSOLERUN_H
