#ifndef STARTUP_H
#define STARTUP_H

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>

// Keeps the C library's memory in one pool for all threads; must run before any thread starts.
void limitMemoryPools();

// Fills the data directory path and prepares the directory with its config/config.ini.
void initDataPath();

// The environment that the configuration store, the adb runner and child processes read back.
void setStartupEnvironment();

// Whether the window system can be reached. On X11 the display is opened and closed again; the
// framework would end the process with an abort on one it cannot open.
bool canOpenDisplay();

// The OpenGL implementation chosen by the "UseDesktopOpenGL" setting; none for the platform default.
std::optional<Qt::ApplicationAttribute> openGLAttribute(int useDesktopOpenGL);
// Sets the OpenGL and high-DPI attributes; must run before the application object exists.
void applyOpenGLChoice(int useDesktopOpenGL);
void setDefaultSurfaceFormat();

void installAppFont();

// The program's name and its full version; set right after the application object exists.
void setApplicationIdentity();

// The program's arguments as text, its name first; usable before the application object exists.
QStringList commandLineArguments(int argc, char** argv);

// The version as shown to the user: at most three dot-separated parts.
QString displayVersion(const QString& version);

// Installs the first catalogue that loads for the system's preferred languages.
void installTranslator();
// The same for a given preference list; returns the catalogue installed, or an empty string.
QString installTranslatorFor(const QStringList& uiLanguages);

#endif // STARTUP_H
