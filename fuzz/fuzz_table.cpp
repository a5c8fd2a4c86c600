// The summary table's duplicate test and append on a scratch table: a refused row leaves the
// file byte for byte as it was; an added row is one whole line of 17 fields after the old bytes.
#include "files/cp1251.h"
#include "files/file_io.h"
#include "fuzz/fuzz_support.h"
#include "presentation/summary_table.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::vector<std::uint8_t> Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Put(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

} // namespace

// Input: a flags byte (bit 0: comma separator, bit 1: no table file yet), the identity's length
// byte, the identity (UTF-8 or not), then the table's bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace hrv;
    if (size < 2) {
        return 0;
    }
    static const auto f = std::make_unique<FragmentData>();
    // On a memory file system where there is one: the writers' fsync() costs nothing there.
    static const std::string path =
        std::string(::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/rvx_fuzz_table_" +
        std::to_string(::getpid()) + ".txt";
    const char separator = (data[0] & 1) != 0 ? ',' : '.';
    const bool missing = (data[0] & 2) != 0;
    const std::size_t idLength = std::min<std::size_t>(data[1], size - 2);
    const std::string identity(reinterpret_cast<const char*>(data + 2), idLength);
    const std::vector<std::uint8_t> before(data + 2 + idLength, data + size);

    ::unlink(path.c_str());
    if (!missing) {
        Put(path, before);
    }
    const bool held = !missing && SummaryTableHasIdentity(before, identity);
    SummaryAppend result{};
    try {
        result = AppendSummaryRow(path, identity, *f, separator);
    } catch (const FileIoError&) {
        // A refused identity (one the file's encoding cannot hold) or a file that is not a
        // table (its first line neither the header nor a record): the file is as it was.
        FUZZ_CHECK(missing ? ::access(path.c_str(), F_OK) != 0 : Slurp(path) == before);
        ::unlink(path.c_str());
        return 0;
    }
    const std::vector<std::uint8_t> after = Slurp(path);
    if (result == SummaryAppend::AlreadySaved) {
        FUZZ_CHECK(held);
        FUZZ_CHECK(after == before);
    } else {
        FUZZ_CHECK(!held);
        // The old bytes, the line end a last line lacked, the row and its CR LF.
        const std::string row = Utf8ToCp1251(SummaryTableRow(identity, *f, separator));
        std::string expected;
        if (missing) {
            expected = Utf8ToCp1251(SummaryTableHeader()) + "\r\n";
        } else {
            expected.assign(before.begin(), before.end());
            if (!before.empty() && before.back() != '\n') {
                expected += before.back() == '\r' ? "\n" : "\r\n";
            }
        }
        expected += row + "\r\n";
        FUZZ_CHECK(after == std::vector<std::uint8_t>(expected.begin(), expected.end()));
        // Tabs and line breaks of a name never reach a row.
        FUZZ_CHECK(std::count(row.begin(), row.end(), '\t') == 16); // 17 fields
        FUZZ_CHECK(row.find_first_of("\r\n") == std::string::npos);
        FUZZ_CHECK(SummaryTableHasIdentity(after, identity));
        // A second append of the same examination is refused and changes nothing.
        if (SummaryTableHasIdentity(after, identity)) {
            FUZZ_CHECK(AppendSummaryRow(path, identity, *f, separator) ==
                       SummaryAppend::AlreadySaved);
            FUZZ_CHECK(Slurp(path) == after);
        }
    }
    ::unlink(path.c_str());
    return 0;
}
