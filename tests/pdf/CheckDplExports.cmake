# Fails unless the shared object FILE defines exactly the thirteen DPL functions.
execute_process(COMMAND nm -D --defined-only ${FILE} OUTPUT_VARIABLE listing RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "nm failed on ${FILE}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${listing}")
set(names)
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^.* " "" name "${line}")
  list(APPEND names ${name})
endforeach()
list(SORT names)
set(expected
  DPLCreateLibrary DPLDACloseFile DPLDAFindPage DPLDAGetPageCount DPLDAGetPageHeight
  DPLDAGetPageWidth DPLDAOpenFile DPLDAPageRotation DPLDARenderPageToDC DPLLastErrorCode
  DPLLastRenderError DPLReleaseLibrary DPLStringResultLength)
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "exports of ${FILE}: ${names} (expected ${expected})")
endif()
