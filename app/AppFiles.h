#ifndef APPFILES_H
#define APPFILES_H

#include <QString>

// Where the files that ship with the program are, both in a build tree and once installed
// (program in PREFIX/bin, its data in PREFIX/share/vadizede, helpers in PREFIX/libexec/vadizede).
namespace AppFiles {

// The program's own folder; works before the application object exists.
QString executableDir();

// The folder of keymaps: VADIZEDE_KEYMAP_PATH when it names a folder, else the shipped examples;
// an empty string when none is found.
QString keymapFolder();

// The server file to push: VADIZEDE_SERVER_PATH when it names a file, else the one shipped
// beside the program or in its helper folder. Never empty; the path may not exist.
QString serverFile();

} // namespace AppFiles

#endif // APPFILES_H
