# Shared by fuzz-smoke.sh and fuzz-campaign.sh: the targets, the clang build
# of them, and a working corpus seeded from the repository. Source it from
# the repository's root.

FUZZ_TARGETS=(boot_sector boot_candidate folders record run_list volume mount_info lznt1 attribute_list disk
              record_groups index_entries rescue_map carve_png carve_jpeg carve_gzip carve_zip carve_pdf carve_gif
              carve_pass carve_bmp carve_tiff carve_riff carve_iso_bmff carve_sqlite carve_ole2
              carve_mp3 carve_flac carve_ogg carve_matroska carve_7z carve_rar carve_pe carve_text carve_gap carve_jpeg_scan
              naming_usn_records naming_slack naming_exif_name naming_pdf_title naming_office_title naming_volume content_text)
FUZZ_BUILD=${FUZZ_BUILD_DIR:-build-fuzz}

# fuzz_build TARGET...: configures the clang build in $FUZZ_BUILD and builds
# fuzz_TARGET for each, with the sanitizers $FUZZ_BUILD_SANITIZERS names
# (default address,undefined).
fuzz_build() {
  cmake -S . -B "$FUZZ_BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DVERANDOL_FUZZ=ON -DVERANDOL_BUILD_GUI=OFF -DVERANDOL_WERROR=ON \
    -DVERANDOL_FUZZ_SANITIZERS="${FUZZ_BUILD_SANITIZERS:-address,undefined}" >/dev/null
  cmake --build "$FUZZ_BUILD" -j"${FUZZ_JOBS:-2}" --target "${@/#/fuzz_}"
}

# fuzz_seed TARGET FOLDER: adds the target's seeds and the inputs that once
# broke it to FOLDER. Copies, so a run's new inputs never land in the repository.
fuzz_seed() {
  mkdir -p "$2"
  cp fuzz/corpus/"$1"/* "$2"/
  if compgen -G "tests/fuzz-regressions/$1/*" >/dev/null; then
    cp tests/fuzz-regressions/"$1"/* "$2"/
  fi
}
