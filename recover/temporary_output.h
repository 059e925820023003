// An output file that appears under its name only once it is complete.
#pragma once

#include <cstdint>
#include <string>

#include "ntfs/byte_reader.h"
#include "recover/file_times.h"
#include "recover/data_sink.h"

namespace verandol {

// Created beside the final path under a hidden unique name, so a failed or
// stopped recovery never leaves a partial file that looks recovered and never
// touches an existing file of the final name. Destroying it without Commit
// removes it.
class TemporaryOutput : public DataSink {
public:
    explicit TemporaryOutput(const std::string& final_path);
    ~TemporaryOutput() override;
    TemporaryOutput(const TemporaryOutput&) = delete;
    TemporaryOutput& operator=(const TemporaryOutput&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    // Why the last operation failed.
    const std::string& Error() const { return error_; }

    // Writes all of `bytes` at `offset`.
    bool WriteAt(std::int64_t offset, ByteSpan bytes) override;
    // Sets the file's length; bytes never written read as zeros.
    bool Resize(std::int64_t length);
    // Gives the file these access and modification times (UTIME_OMIT
    // leaves one as it is), once its last byte is written: the flush in
    // Commit keeps them with the data.
    bool SetTimes(const OutputTimes& times);
    // Flushes the file to its device, closes it, renames it over the final
    // path and flushes the folder. False when any step fails; after a failed
    // folder flush the file has its final name but may not keep it.
    bool Commit();

private:
    bool Fail(const std::string& what);
    std::string final_path_;
    std::string temp_path_;
    int fd_ = -1;
    std::string error_;
};

}  // namespace verandol
