#pragma once
// Handing files to the desktop.

#include <QString>

namespace Platform {

// Opens a document with the desktop's handler for its type; false when none could be started.
bool OpenWithDesktop(const QString& Path);

} // namespace Platform
