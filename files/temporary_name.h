// The names the file layer's writers give their temporaries.
#pragma once

#include <string>

namespace hrv {

// The start of the name of every temporary this host's writers make beside a file: ".rvx-", six
// letters of the host's name and "-"; the writer's process id, "-" and six characters follow.
std::string TemporaryPrefix();

} // namespace hrv
