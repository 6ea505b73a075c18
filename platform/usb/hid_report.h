#pragma once
// A link frame as a Windows HID interface takes it and hands it back: whole reports of the
// interface's length with the report id first. A frame is the report of an interface
// without numbered reports (id 0), as hidapi hands frames over on Linux.
#include <cstddef>
#include <cstdint>
#include <vector>

// The report to write for `length` bytes; `reportLength` 0 (not known) writes them as they are.
std::vector<std::uint8_t> HidOutputReport(const std::uint8_t* data, std::size_t length,
                                          std::size_t reportLength);
// The frame in a report read (`got` bytes): copied to `data`, at most `capacity`; its length.
std::size_t HidInputFrame(const std::uint8_t* report, std::size_t got, std::size_t reportLength,
                          std::uint8_t* data, std::size_t capacity);
