// The start procedure of the setup tool: where its two files are, the
// settings it reads at start, and the program's entry.
#pragma once

#include <QString>

namespace kestcfg {

struct FileLocations {
    QString programFolder;  // ends in "/"
    QString settingsFile;
    QString languageFile;
};

// Where the settings and language files are. configDir (--config) takes the
// place of the program folder; otherwise a program folder that holds
// "localize/Kest.ini" (a build tree, a portable copy) keeps both files; an
// installed program reads its language file from dataDir and keeps its
// settings in $XDG_CONFIG_HOME/kestcfg (default ~/.config/kestcfg).
FileLocations LocateFiles(const QString& configDir, const QString& programDir,
                          const QString& dataDir);

// Steps 1 to 5 of the start: takes the file locations, reads the time-out
// and the motion colours from the settings file and writes them back, and
// clears the two password fields.
void StartUp(const FileLocations& files);

// The program: options, the start procedure, the connect dialog.
int Main(int argc, char** argv);

}  // namespace kestcfg
