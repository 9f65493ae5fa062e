# Runs scripts/mfp-demo on what this build holds and checks that every sample page arrived over
# FTP, was told of as it came, and was written, and that the summary was printed.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/tmp)
set(ENV{TMPDIR} ${WORK}/tmp)
execute_process(COMMAND ${SCRIPT} --build ${BUILD} --no-build --pause 0 --wait 20 ${WORK}/out
  OUTPUT_VARIABLE output ERROR_VARIABLE errors RESULT_VARIABLE result TIMEOUT 120)
message("${output}${errors}")
if(NOT result EQUAL 0)
  message(FATAL_ERROR "scripts/mfp-demo ended with ${result}")
endif()
# One page per image file, two each for the two-page TIFF and PDF.
file(GLOB pages ${WORK}/out/page-*.bmp)
list(LENGTH pages received)
if(NOT received EQUAL 7)
  message(FATAL_ERROR "${received} pages written, not 7")
endif()
if(NOT output MATCHES "upload: SCANFINISHEDMARKER.MRK\n" OR NOT output MATCHES "page 7: [^\n]*page-0007.bmp"
   OR NOT output MATCHES "Pages: +7\n")
  message(FATAL_ERROR "the uploads, the page lines or the summary are missing")
endif()
file(GLOB left ${WORK}/tmp/*)
if(left)
  message(FATAL_ERROR "the script left ${left}")
endif()
