#pragma once
// A private folder for a test's service record, removed at the end.
#include <filesystem>
#include <string>

#include "platform/process.h"

class JournalTestFolder {
  public:
    JournalTestFolder() {
        std::string reason;
        m_path = platform::MakePrivateTempFolder("pellacor-journal", reason).value_or("");
    }
    ~JournalTestFolder() {
        std::error_code ignored;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ignored);
    }
    const std::filesystem::path& Path() const { return m_path; }

  private:
    std::filesystem::path m_path;
};
