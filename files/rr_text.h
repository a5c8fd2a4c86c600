// The RR list: a text file of RR intervals in milliseconds, as chest straps and other HRV
// programs export them.
//
// One interval per line, or several on a line separated by semicolons, tabs, blanks or commas;
// integers or decimals with a point or a comma. Blank lines and lines holding no digit are
// skipped, and so are the header lines before the first interval (lines with a letter). A comma
// between two digits is a decimal comma, unless some line of numbers has a point, or has two or
// more commas and no semicolon, tab or blank, or is two integers of three or four digits and
// one comma ("700,900"): then, as every other comma, it separates intervals. When only lines of
// the last shape say so, a line with any other comma between digits ("805,5") could be read
// either way and rejects the list. Each interval becomes 10 ms ticks rounded to nearest, ties to
// even (805 ms gives 80 ticks, 815 ms 82); it must give 1 to 255 ticks. Where these rules reject
// the text, a table of an index and the interval ("index,rr" or ",rr" over "0,992.0", "1,1016.0",
// the index counting up by one) is read as the list of its last column.
#pragma once

#include "analysis/fragment_data.h"
#include "files/file_io.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace hrv {

struct RrTextResult {
    std::vector<std::uint8_t> ticks; // the intervals in file order
    std::vector<double> ms;          // the same as written, in ms
    int errorLine = 0;               // the line (from 1) that rejects the list; 0 when read
    std::string error;               // why, in the program's words; empty when read
};

// Reads the text of an RR list. A list with no interval is rejected (errorLine 0 names no line).
RrTextResult ParseRrText(std::string_view text);

// A list that cannot be taken: the message names the file and the line.
class RrTextError : public FileIoError {
public:
    using FileIoError::FileIoError;
};

// The intervals of the RR list at `path`, every one of them in file order (ticks). A rejected list
// throws RrTextError, naming the file and the line; FileIoError when the file layer fails. The
// file is read into `buffer`, which keeps its capacity from open to open.
std::vector<std::uint8_t> ReadRrTextTicks(const std::string& path,
                                          std::vector<std::uint8_t>& buffer);

// The intervals of the RR list at `path` in ms as written (the standard analysis takes them at
// their own resolution); rejected as ReadRrTextTicks rejects it.
std::vector<double> ReadRrTextMs(const std::string& path, std::vector<std::uint8_t>& buffer);

// Both: the intervals in ticks and in ms as written, in file order (errorLine 0, error empty).
RrTextResult ReadRrTextList(const std::string& path, std::vector<std::uint8_t>& buffer);

// Reads the RR list at `path` into RrWords (ticks * 256, aux 0; the first 40,000, as an RR file)
// and RrCount, as ReadRrFile does. A rejected list throws RrTextError and leaves the fragment as
// it was; FileIoError when the file layer fails. The file is read into `buffer`, which keeps its
// capacity from open to open.
void ReadRrText(const std::string& path, FragmentData& f, std::vector<std::uint8_t>& buffer);

} // namespace hrv
