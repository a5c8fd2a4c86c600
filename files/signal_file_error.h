// A signal record that cannot be taken (WFDB, EDF): the message names the file and the fault.
#pragma once

#include "files/file_io.h"

#include <string>

namespace hrv {

class SignalFileError : public FileIoError {
public:
    using FileIoError::FileIoError;
};

// "Файл PATH: FAULT", as the record readers throw it.
inline SignalFileError SignalFault(const std::string& path, const std::string& fault) {
    return SignalFileError("Файл " + path + ": " + fault);
}

} // namespace hrv
