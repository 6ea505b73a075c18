#pragma once
// Pulls and plugs the virtual USB cable on a line of text ("unplug", "plug"), so tests and
// technicians can do it on every system, without signals.
#include <iosfwd>
#include <mutex>
#include <string>
#include <string_view>

namespace pellacor::sim {

class Simulator;

class UsbControl {
  public:
    explicit UsbControl(Simulator& sim) : m_sim(&sim) {}
    // Acts on every laminator and returns what happened, one line each; an unknown word
    // gets a line saying so. Nothing happens once closed.
    std::string Apply(std::string_view command);
    // Applies each line of `in` until it ends, writing the answers to `out`.
    void Run(std::istream& in, std::ostream& out);
    // The simulator is going: later commands are ignored.
    void Close();

  private:
    std::mutex m_mutex;
    Simulator* m_sim;
};

}  // namespace pellacor::sim
