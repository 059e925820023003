#include "disk/volume_label.h"

#include <blkid/blkid.h>

namespace verandol {

std::string GetVolumeLabel(const std::string& path) {
    // The probe opens the path read-only, like every other reader here.
    blkid_probe probe = blkid_new_probe_from_filename(path.c_str());
    if (!probe) return {};
    std::string label;
    blkid_probe_enable_superblocks(probe, 1);
    blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_LABEL);
    if (blkid_do_safeprobe(probe) == 0) {
        const char* value = nullptr;
        size_t length = 0;
        if (blkid_probe_lookup_value(probe, "LABEL", &value, &length) == 0 && value)
            label.assign(value);
    }
    blkid_free_probe(probe);
    return label;
}

}  // namespace verandol
