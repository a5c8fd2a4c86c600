// Path helpers.
#include "files/paths.h"

#include <algorithm>
#include <cctype>

namespace hrv {

namespace {

// Index of the first character of the last component.
std::size_t LastComponentStart(const std::string& path) {
    const auto sep = path.find_last_of("\\/");
    return sep == std::string::npos ? 0 : sep + 1;
}

// Index of the last dot of the last component, or npos.
std::size_t LastDot(const std::string& path) {
    const auto dot = path.find_last_of('.');
    return dot != std::string::npos && dot >= LastComponentStart(path) ? dot : std::string::npos;
}

} // namespace

std::string DirectoryOfPath(const std::string& path) {
    const auto start = LastComponentStart(path);
    return start == 0 ? std::string() : path.substr(0, start - 1);
}

std::string BaseNameOfPath(const std::string& path) {
    const auto start = LastComponentStart(path);
    const auto dot = LastDot(path);
    return path.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
}

std::string ReplaceSpacesInFileName(const std::string& path) {
    std::string out = path;
    std::replace(out.begin() + static_cast<std::ptrdiff_t>(LastComponentStart(out)), out.end(), ' ',
                 '_');
    return out;
}

std::string RrPathForPpg(const std::string& path) {
    const auto dot = LastDot(path);
    return dot == std::string::npos ? path + ".rr" : path.substr(0, dot + 1) + "rr";
}

std::string ExtensionOfPath(const std::string& path) {
    const auto dot = LastDot(path);
    std::string ext = dot == std::string::npos ? std::string() : path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

} // namespace hrv
