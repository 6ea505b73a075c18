#pragma once
// Points the device link at what the command line names: virtual laminators of the
// simulator, another command port, or a simulated laminator of our own (the demo).
#include <memory>
#include <string>

#include "app/program_options.h"

class DemoLaminator;

inline constexpr int kDemoLaminatorCount = 3;

// Applies the options; returns the demo laminator when one was started (it runs as long as
// the returned object lives), or null. On failure says why in `error` and returns null.
std::unique_ptr<DemoLaminator> SetUpLinks(const ProgramOptions& options, std::string& error);

class DemoLaminator {
  public:
    virtual ~DemoLaminator() = default;
    virtual std::string Describe() const = 0;
};
