#include <cctype>

#include "link/usb_link.h"

namespace {

std::string IdAfter(const std::string& upper, std::size_t tag) {
    return upper.substr(tag + 4, 4);
}

}  // namespace

bool ParseVidPid(std::string_view path, std::string& vid, std::string& pid) {
    std::string upper(path);
    for (char& c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    const std::size_t vidAt = upper.find("VID_");
    if (vidAt == std::string::npos) {
        return false;
    }
    // The product id is looked for in the whole path, not only after the vendor id.
    const std::size_t pidAt = upper.find("PID_");
    if (pidAt == std::string::npos) {
        return false;
    }
    vid = IdAfter(upper, vidAt);
    pid = IdAfter(upper, pidAt);
    return true;
}
