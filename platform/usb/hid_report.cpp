#include "platform/usb/hid_report.h"

#include <algorithm>

std::vector<std::uint8_t> HidOutputReport(const std::uint8_t* data, std::size_t length,
                                          std::size_t reportLength) {
    std::vector<std::uint8_t> report(data, data + length);
    if (reportLength == 0)
        return report;
    // One byte short of a report: the frame lacks only the id of an unnumbered report.
    if (length + 1 == reportLength)
        report.insert(report.begin(), 0);
    // A shorter frame is padded with zeros, as the frame itself is; a longer one cut.
    report.resize(reportLength, 0);
    return report;
}

std::size_t HidInputFrame(const std::uint8_t* report, std::size_t got, std::size_t reportLength,
                          std::uint8_t* data, std::size_t capacity) {
    std::size_t from = 0;
    if (reportLength > 0 && got > 0 && report[0] == 0)
        from = 1;  // the id of an unnumbered report
    const std::size_t n = std::min(capacity, got - from);
    std::copy(report + from, report + from + n, data);
    return n;
}
