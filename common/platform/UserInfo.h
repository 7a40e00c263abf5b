#pragma once
// Who runs the program, and on which computer.

#include <QString>

namespace Platform {

// The login name of the user the program runs as.
QString UserName();
// The computer's name (the host name without its domain).
QString ComputerName();

} // namespace Platform
