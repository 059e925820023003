#include "recover/recovery_step.h"

#include <exception>

#include "disk/open_volume.h"
#include "recover/colon_names.h"
#include "recover/output_device_check.h"
#include "recover/output_name.h"
#include "recover/recover_carved.h"

namespace verandol {

std::vector<std::string> ReportLine(std::string_view asked, const RecoveryStepResult& result) {
    switch (result.status) {
        case RecoverStatus::Written:
            return {result.carved ? CarveCheckText(*result.carved) : "written", std::string(asked), result.path};
        case RecoverStatus::Incomplete: return {"incomplete", std::string(asked), result.path, result.reason};
        case RecoverStatus::Unchecked: return {"unchecked", std::string(asked), result.path, result.reason};
        case RecoverStatus::NotWritten: break;
    }
    return {"failed", std::string(asked), result.reason};
}

RecoveryRun::RecoveryRun(PublishedGeometry source, const std::atomic<bool>* stop, bool check_output_device)
    : source_(std::move(source)), stop_(stop), check_output_device_(check_output_device) {}

std::string RecoveryRun::NameFor(const RecoveryRequest& row, const std::string& out_dir) {
    if (row.name.empty()) return NamelessFileName(row.index, row.type);
    // A named stream's file is "file:stream", unless the folder refuses colons.
    if (row.name.find(':') == std::string::npos) return row.name;
    auto takes = colon_folders_.find(out_dir);
    if (takes == colon_folders_.end()) takes = colon_folders_.emplace(out_dir, FolderTakesColons(out_dir)).first;
    return takes->second ? row.name : WithoutColons(row.name);
}

Outcome<std::string> RecoveryRun::OutputFor(const RecoveryRequest& row, const std::string& out_dir,
                                            OutputNaming naming) {
    const std::string name = NameFor(row, out_dir);
    if (!row.type_folder.empty()) {
        auto kept = kept_.try_emplace(out_dir, out_dir).first;
        return kept->second.PathFor("/" + row.type_folder, name, row.index, naming != OutputNaming::RowIndex, paths_);
    }
    if (naming == OutputNaming::KeptFolders) {
        auto kept = kept_.try_emplace(out_dir, out_dir).first;
        return kept->second.PathFor(row.folder, name, row.index, true, paths_);
    }
    return paths_.Claim(OutputPath(out_dir, naming == OutputNaming::OwnName, name, row.index));
}

RecoveryStepResult RecoveryRun::Attempt(const RecoveryRequest& row, const std::string& out_dir,
                                        OutputNaming naming) {
    if (check_output_device_ && out_dir != checked_folder_) {
        checked_folder_ = out_dir;
        folder_refusal_ = OutputDeviceRefusal(source_.path, out_dir);
    }
    if (check_output_device_ && !folder_refusal_.empty()) return {RecoverStatus::NotWritten, {}, folder_refusal_};
    const Outcome<std::string> path = OutputFor(row, out_dir, naming);
    if (!path) return {RecoverStatus::NotWritten, {}, path.reason()};
    if ((row.found || row.carved) && !deep_volume_) {
        Outcome<OpenedVolume> opened = OpenVolume(source_.path);
        if (!opened) return {RecoverStatus::NotWritten, {}, "cannot open " + source_.path + ": " + opened.reason()};
        deep_volume_ = std::move(opened->source);
    }
    if (row.carved) {
        const RecoverResult result = RecoverCarvedFile(*deep_volume_, *row.carved, *path, stop_);
        return {result.status, result.status == RecoverStatus::NotWritten ? std::string() : *path, result.reason,
                false, result.unread, row.carved->check};
    }
    const RecoverResult result =
        row.found ? RecoverFoundFile(*deep_volume_, row.position_text, *row.found, *path, stop_, keep_times_)
                  : RecoverFile(source_.path, row.position_text, source_.geometry, source_.mft_runs, *path, stop_,
                                source_.bitmap ? &*source_.bitmap : nullptr, source_.files_in_use, true, keep_times_);
    return {result.status, result.status == RecoverStatus::NotWritten ? std::string() : *path, result.reason, false,
            result.unread};
}

RecoveryStepResult RecoveryRun::Recover(const RecoveryRequest& row, const std::string& out_dir,
                                        OutputNaming naming) {
    RecoveryStepResult result;
    try {
        result = Attempt(row, out_dir, naming);
    } catch (const std::exception& error) {
        // Memory for a huge file, a folder path the system refuses: the row
        // fails, and the rows after it still get their turn.
        result = {RecoverStatus::NotWritten, {}, error.what()};
    }
    if (result.status == RecoverStatus::NotWritten && stop_ && stop_->load()) {
        result.stopped = true;
        return result;
    }
    if (!result.unread.empty()) {
        ++unread_files_;
        for (const UnreadRange& r : result.unread) unread_bytes_ += r.length;
    }
    switch (result.status) {
        case RecoverStatus::Written: ++recovered_; break;
        case RecoverStatus::Incomplete:
            ++incomplete_;
            failures_.push_back({row.name, row.position_text, true, result.reason});
            break;
        case RecoverStatus::Unchecked:
            ++unchecked_;
            failures_.push_back({row.name, row.position_text, false, result.reason, true});
            break;
        case RecoverStatus::NotWritten:
            failures_.push_back({row.name, row.position_text, false, result.reason});
            break;
    }
    return result;
}

}  // namespace verandol
