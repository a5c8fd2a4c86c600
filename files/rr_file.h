// The RR file: a 2-byte header and one little-endian word per interval (ticks * 256 + aux).
#pragma once

#include "analysis/fragment_data.h"
#include "files/file_io.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace hrv {

inline constexpr std::size_t kRrHeaderBytes = 2;
inline constexpr std::size_t kRrDataLimit = 2 * kWordCapacity; // bytes read after the header

// Takes the words of an RR file image into RrWords from position 1 and sets RrCount to their
// number ((size - 2) div 2, at most 40,000). Words beyond those read keep their contents; the
// header and an odd final byte are ignored. Nothing else changes.
void ParseRrBytes(std::span<const std::uint8_t> bytes, FragmentData& f);

// The file image of the first RrCount words of RrWords behind two zero header bytes.
std::vector<std::uint8_t> RrFileImage(const FragmentData& f);

// A file the RR reader was given that is plainly no RR file: the message names it and says what
// it is.
class NotAnRrFile : public FileIoError {
public:
    using FileIoError::FileIoError;
};

// Why the file image `bytes` read from `path` is no RR file, "" when it may be one: an EDF or BDF
// file (its version field and a header of 256 bytes per signal), a WFDB header, a signal file that
// the WFDB header beside it ("NAME.hea") names, or 30 intervals or more of which more than half
// differ from the one before by more than 40 % (real recordings, artefacts and all, stay below a
// tenth; ECG samples read as words above six tenths).
std::string RrFileFault(const std::string& path, std::span<const std::uint8_t> bytes);

// Read and write an RR file; FileIoError when the file layer fails (RrCount is then unchanged),
// NotAnRrFile when RrFileFault refuses the file (the fragment is then unchanged).
void ReadRrFile(const std::string& path, FragmentData& f);
// The same reading through `buffer` (see ReadFileInto), for a caller that opens many files.
void ReadRrFile(const std::string& path, FragmentData& f, std::vector<std::uint8_t>& buffer);
void WriteRrFile(const std::string& path, const FragmentData& f);

} // namespace hrv
