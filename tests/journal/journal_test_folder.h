#pragma once
// A private folder for a test's service record, removed at the end.
#include <stdlib.h>

#include <filesystem>
#include <string>

class JournalTestFolder {
  public:
    JournalTestFolder() {
        std::string path =
            (std::filesystem::temp_directory_path() / "pellacor-journal-XXXXXX").string();
        if (mkdtemp(path.data()))
            m_path = path;
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
