#include "app/ip_settings.h"

#include "app/ini_profile.h"
#include "laminator/param_store.h"

void LoadIpSettings(const std::string& path) {
    (void)ReadProfileInt(path, "TEST", "Port", 10);
    std::string ip = ReadProfileString(path, "TEST", "Ip").value_or("");
    if (ip.size() > kMaxIpTextLength)
        ip.resize(kMaxIpTextLength);
    Store().Set(ParamKey::IpAddress, ip);
}
