#include "sim/usb_control.h"

#include <istream>
#include <limits>
#include <ostream>

#include "sim/simulator.h"

namespace pellacor::sim {

namespace {
std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}
}  // namespace

std::string UsbControl::Apply(std::string_view command) {
    std::lock_guard lock(m_mutex);
    command = Trimmed(command);
    if (m_sim == nullptr || command.empty()) {
        return {};
    }
    if (command != "unplug" && command != "plug") {
        return "unknown USB control \"" + std::string(command.substr(0, 40)) +
               "\": use unplug or plug\n";
    }
    std::string said;
    for (int k = 0; k < m_sim->Count(); ++k) {
        const std::string who = "laminator " + std::to_string(k + 1) + ": USB ";
        std::string error;
        if (command == "unplug" && m_sim->UnplugUsb(k)) {
            said += who + "unplugged\n";
        } else if (command == "plug" && !m_sim->UsbPath(k).empty()) {
            said += who + (m_sim->ReplugUsb(k, &error) ? "plugged in" : error) + "\n";
        }
    }
    return said;
}

void UsbControl::Run(std::istream& in, std::ostream& out) {
    // Lines are short words: a longer one is skipped whole, never gathered without bound.
    char line[128];
    for (;;) {
        in.getline(line, sizeof line);
        if (in.bad() || (in.eof() && in.gcount() == 0)) {
            return;
        }
        if (in.fail() && !in.eof()) {
            in.clear();
            in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
            out << "USB control line too long: use unplug or plug\n" << std::flush;
            continue;
        }
        out << Apply(line) << std::flush;
    }
}

void UsbControl::Close() {
    std::lock_guard lock(m_mutex);
    m_sim = nullptr;
}

}  // namespace pellacor::sim
