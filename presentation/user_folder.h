// The window's own folder when it is started from the desktop menu: "RVX" in the user's home
// folder. The window keeps its settings file, summary table and Data folder in the current
// directory, so the program makes that folder the current directory before the window is made.
#pragma once

#include <string>

namespace hrv {

// The per-user folder under `home` ("/home/anna" gives "/home/anna/RVX").
std::string UserFolderIn(const std::string& home);

// Creates `folder` with its parents when missing and makes it the current directory. Returns ""
// when done; otherwise the message to show, and the current directory is left as it was.
std::string EnterUserFolder(const std::string& folder);

} // namespace hrv
