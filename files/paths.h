// Path helpers. Both "\" and "/" separate folders, so Windows paths and ours are handled alike.
#pragma once

#include <string>

namespace hrv {

// The text before the last separator, without it ("" when there is none).
std::string DirectoryOfPath(const std::string& path);

// The text after the last separator and before the last dot of that last component (the whole
// last component when it has no dot).
std::string BaseNameOfPath(const std::string& path);

// The path with every space of its last component replaced by "_"; the folder part is unchanged.
std::string ReplaceSpacesInFileName(const std::string& path);

// The RR file beside a PPG file: the text after the last dot replaced by "rr"; a last component
// without a dot gets ".rr" appended to the whole path.
std::string RrPathForPpg(const std::string& path);

// The last component's extension in lower case, without the dot ("" when there is none).
std::string ExtensionOfPath(const std::string& path);

} // namespace hrv
