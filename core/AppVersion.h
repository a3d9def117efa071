#ifndef APPVERSION_H
#define APPVERSION_H

// The program's version, "1.0.0". Compiled into one generated file only, so that a new
// version rebuilds that file and not everything that includes a header.
const char* appVersion();

#endif // APPVERSION_H
