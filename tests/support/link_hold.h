#pragma once
// Holds the link lock on a thread of its own, as an exchange in flight does: link work that
// starts meanwhile waits before its first frame.
#include <atomic>
#include <chrono>
#include <thread>

#include "link/link_buffers.h"

class LinkHold {
  public:
    LinkHold()
        : m_thread([this] {
              LinkTransaction t;
              m_held = true;
              while (!m_release)
                  std::this_thread::sleep_for(std::chrono::milliseconds(1));
          }) {
        while (!m_held)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~LinkHold() { Release(); }
    void Release() {
        m_release = true;
        if (m_thread.joinable())
            m_thread.join();
    }

  private:
    std::atomic<bool> m_held{false};
    std::atomic<bool> m_release{false};
    std::thread m_thread;
};
