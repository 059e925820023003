# Checks that each folder includes only the folders below it, so that no
# folder includes one that includes it: ntfs/ is the on-disk format alone,
# the engine (scan/, recover/) knows nothing of the window, and the window's
# workers know the window only through jobs/.
#
# Run as: cmake -DSOURCE_DIR=... -P include_layers.cmake
# A new folder gets a row here; an include of a project folder that a row
# does not allow fails the test with the file and the line.

set(allowed_ntfs    ntfs)
set(allowed_reading reading ntfs)
set(allowed_text    text ntfs)
set(allowed_carve   carve reading ntfs)
set(allowed_disk    disk reading ntfs)
set(allowed_rescue  rescue disk text reading ntfs)
set(allowed_udisks  udisks disk reading ntfs)
set(allowed_jobs    jobs)
set(allowed_scan    scan carve rescue disk text reading ntfs jobs)
set(allowed_deep    deep carve rescue scan disk text reading ntfs)
set(allowed_naming  naming deep carve rescue scan disk text reading ntfs)
set(allowed_recover recover carve rescue disk text reading ntfs jobs)
set(allowed_imaging imaging recover disk text reading ntfs jobs)
set(allowed_cli     cli imaging carve naming deep rescue scan recover udisks disk text reading ntfs)
set(allowed_ui      ui imaging carve naming deep rescue scan recover jobs udisks disk text reading ntfs)
set(allowed_fuzz    fuzz imaging carve naming deep rescue scan recover disk text reading ntfs)
set(allowed_bench   bench imaging carve naming deep rescue ui scan recover jobs disk text reading ntfs)
set(checked_folders ntfs reading carve text disk rescue udisks jobs scan deep naming recover imaging cli ui fuzz bench)
# Every folder whose headers others may include; tests/ may include them all.
set(project_folders ${checked_folders} tests)

set(failures "")
foreach(folder ${checked_folders})
  file(GLOB_RECURSE sources ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
  foreach(source ${sources})
    file(STRINGS ${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line ${lines})
      if(line MATCHES "include[ \t]*\"([A-Za-z0-9_]+)/")
        set(target ${CMAKE_MATCH_1})
        list(FIND project_folders ${target} is_project)
        list(FIND allowed_${folder} ${target} is_allowed)
        if(is_project GREATER_EQUAL 0 AND is_allowed LESS 0)
          file(RELATIVE_PATH shown ${SOURCE_DIR} ${source})
          string(APPEND failures "\n  ${shown}: ${line}  (${folder}/ may include: ${allowed_${folder}})")
        endif()
      endif()
    endforeach()
  endforeach()
endforeach()

if(failures)
  message(FATAL_ERROR "Includes that cross the folder layers:${failures}")
endif()
