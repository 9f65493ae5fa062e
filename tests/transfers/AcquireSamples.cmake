# Runs twacquire over the sample pages as scripts/acquire-samples does (files from disk, no
# dialog, nothing deleted) and checks that every page arrived and the summary was printed.
file(REMOVE_RECURSE ${WORK})
set(settings_folder ${WORK}/config/Oskaveld/velloran)
file(MAKE_DIRECTORY ${settings_folder} ${WORK}/config-common ${WORK}/tmp ${WORK}/out)
file(WRITE ${settings_folder}/velloran.ini
  "[General]\nMode=1\nAlwaysShowUI=0\nForcePixelTypeToCapability=0\nFixResolution=0\n"
  "[Directory]\nCurrentDirectory=${SAMPLES}/\nIncludeSubfolders=0\nListMode=0\nDeleteFiles=0\n"
  "[DevMode]\nRecycle=0\n[Logger]\nLoggerEnabled=0\n")
file(GLOB samples_before ${SAMPLES}/*)
set(ENV{XDG_CONFIG_HOME} ${WORK}/config)
set(ENV{XDG_CONFIG_DIRS} ${WORK}/config-common)
set(ENV{TMPDIR} ${WORK}/tmp)
execute_process(COMMAND ${TWACQUIRE} --source ${SOURCE} --out ${WORK}/out --wait 30
  OUTPUT_VARIABLE output ERROR_VARIABLE errors RESULT_VARIABLE result)
message("${output}${errors}")
if(NOT result EQUAL 0)
  message(FATAL_ERROR "twacquire ended with ${result}")
endif()
# One page per image file, two for the two-page TIFF.
file(GLOB images ${SAMPLES}/*.jpg ${SAMPLES}/*.png ${SAMPLES}/*.tif ${SAMPLES}/*.gif ${SAMPLES}/*.pdf)
list(LENGTH images files)
file(GLOB pages ${WORK}/out/page-*.bmp)
list(LENGTH pages received)
if(NOT output MATCHES "Pages: +${received}\n.*Seconds: .*Pages per second: .*Peak memory: ")
  message(FATAL_ERROR "no summary for ${received} pages")
endif()
if(received LESS_EQUAL files)
  message(FATAL_ERROR "${received} pages from ${files} files (the two-page TIFF gives two)")
endif()
file(GLOB samples_after ${SAMPLES}/*)
if(NOT samples_before STREQUAL samples_after)
  message(FATAL_ERROR "the sample files changed")
endif()
