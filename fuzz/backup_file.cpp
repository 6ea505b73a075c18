// A backup file of pellacorctl: any bytes parsed as a backup. What is accepted stays within
// the bounds and survives being written and read back unchanged.
#include "cli/backup_file.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const std::optional<Backup> backup = ParseBackup(text, error);
    if (!backup) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    FUZZ_CHECK(backup->model.size() <= kMaxBackupText);
    for (const auto& [key, value] : backup->identity)
        FUZZ_CHECK(value.size() <= kMaxBackupText);
    for (const auto& [key, value] : backup->values)
        FUZZ_CHECK(value.size() <= kMaxBackupText);
    const std::optional<Backup> again = ParseBackup(FormatBackup(*backup), error);
    FUZZ_CHECK(again);
    FUZZ_CHECK(again->model == backup->model && again->identity == backup->identity &&
               again->values == backup->values);
    return 0;
}
