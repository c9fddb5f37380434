#pragma once

#include <QString>

// Where the build put the network module, and where the install puts it.
struct NetworkModulePlaces {
    QString buildFolder;      // absolute, without links
    QString builtModule;      // absolute
    QString installedFromBin; // relative to the installed programs' folder
};

// The module a program loads: one inside the build folder loads the build
// folder's, any other the one installed with it. An installed program never
// looks into the folder it was built in.
QString networkModulePath(const QString &program, const NetworkModulePlaces &places);

// This build's places.
NetworkModulePlaces thisBuildsModulePlaces();

// The running program's file, links resolved.
QString runningProgram();
