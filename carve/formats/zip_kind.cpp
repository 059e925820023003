#include "carve/formats/zip_kind.h"

namespace verandol {

void ZipKind::Member(std::string_view name, std::string_view mimetype_content) {
    if (first_ && name == "mimetype") {
        if (mimetype_content == "application/epub+zip") from_mimetype_ = "epub";
        else if (mimetype_content == "application/vnd.oasis.opendocument.text") from_mimetype_ = "odt";
        else if (mimetype_content == "application/vnd.oasis.opendocument.spreadsheet") from_mimetype_ = "ods";
        else if (mimetype_content == "application/vnd.oasis.opendocument.presentation") from_mimetype_ = "odp";
    }
    first_ = false;
    content_types_ = content_types_ || name == "[Content_Types].xml";
    word_ = word_ || name.starts_with("word/");
    excel_ = excel_ || name.starts_with("xl/");
    powerpoint_ = powerpoint_ || name.starts_with("ppt/");
    manifest_ = manifest_ || name == "META-INF/MANIFEST.MF";
    android_ = android_ || name == "AndroidManifest.xml";
}

std::string ZipKind::Extension() const {
    if (!from_mimetype_.empty()) return from_mimetype_;
    if (content_types_ && word_) return "docx";
    if (content_types_ && excel_) return "xlsx";
    if (content_types_ && powerpoint_) return "pptx";
    if (android_) return "apk";
    if (manifest_) return "jar";
    return "zip";
}

}  // namespace verandol
