#pragma once

#include <QString>

namespace store {

// The folder an installed program was put in; a program found there keeps its data elsewhere.
QString installBinDir();

// A sound shipped with the program: beside it (a build tree or a portable copy, also in a
// "sounds" folder there), else in the installed share folder. Empty when none is found.
QString findSoundFile(const QString& name, const QString& appDir);

QString programVersion();

} // namespace store
