// What the window tests share: the fixture volume, its manifest, and waits
// for the workers.
#pragma once

#include <string>
#include <vector>

#include <QString>

#include <nlohmann/json.hpp>

#include "ui/message_box.h"

class TMainForm;

namespace verandol::test {

struct ManifestFile {
    std::string name;
    long long size = 0;
    std::string sha256;
    bool listed = false;  // deleted and neither in use nor a directory
};

inline const char* const kFixtureName = "sec512-clu4k.img";

QString FixtureImagePath();
nlohmann::json LoadManifest();
std::vector<ManifestFile> ManifestFiles(const nlohmann::json& manifest);
QString Sha256OfFile(const QString& path);

// Boxes shown while one of these lives are kept here instead.
class MessageCapture {
public:
    MessageCapture();
    ~MessageCapture();
    std::vector<ShownMessage> shown;
};

// Until the worker has ended and the window has applied all it sent.
bool WaitForScan(int timeout_ms = 20000);
bool WaitForRecovery(int timeout_ms = 20000);

// Selects the fixture image in DriveList and scans it to the end.
bool ScanFixture(TMainForm& form);

}  // namespace verandol::test
