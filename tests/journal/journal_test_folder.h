#pragma once
// A private folder for a test's service record, removed at the end.
#include <filesystem>

#include "tests/support/private_folder.h"

class JournalTestFolder {
  public:
    JournalTestFolder() : m_path(testsupport::MakePrivateFolder("pellacor-journal")) {}
    ~JournalTestFolder() {
        std::error_code ignored;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ignored);
    }
    const std::filesystem::path& Path() const { return m_path; }

  private:
    std::filesystem::path m_path;
};
