#include "journal/journal_records.h"

#include "platform/process.h"

std::string LaminatorIdentity::Key() const {
    if (!serial.empty())
        return "sn:" + serial;
    if (!mac.empty())
        return "mac:" + mac;
    return "link:" + link;
}

std::string OsUserName() {
    return platform::OsUserName();
}
