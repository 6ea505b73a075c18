#include "journal/journal_records.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

std::string LaminatorIdentity::Key() const {
    if (!serial.empty())
        return "sn:" + serial;
    if (!mac.empty())
        return "mac:" + mac;
    return "link:" + link;
}

std::string OsUserName() {
    if (const passwd* p = getpwuid(geteuid()); p && p->pw_name)
        return p->pw_name;
    if (const char* user = std::getenv("USER"))
        return user;
    return std::to_string(geteuid());
}
