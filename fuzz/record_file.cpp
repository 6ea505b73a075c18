// A service record file offered to `journal import`: any bytes parsed as one. What is
// accepted stays within the bounds and survives being written and read back unchanged.
#include "journal/record_file.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const std::optional<RecordFile> file = ParseRecordFile(text, error);
    if (!file) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    for (const OperationRecord& r : file->operations)
        FUZZ_CHECK(r.kind.size() <= kMaxRecordText && r.details.size() <= kMaxRecordLine);
    const std::optional<RecordFile> again = ParseRecordFile(FormatRecordFile(*file), error);
    FUZZ_CHECK(again);
    FUZZ_CHECK(again->laminator.Key() == file->laminator.Key() &&
               again->operations.size() == file->operations.size() &&
               again->readings.size() == file->readings.size());
    for (std::size_t i = 0; i < file->operations.size(); ++i)
        FUZZ_CHECK(again->operations[i].details == file->operations[i].details &&
                   again->operations[i].message == file->operations[i].message);
    return 0;
}
