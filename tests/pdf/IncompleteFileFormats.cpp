// A PDF library that lacks DPLDARenderPageToDC. The data source must find that out by looking
// its functions up, and then call none of them: its DPLCreateLibrary ends the process.

#include <cstdlib>

#include "FileFormatsApi.h"

extern "C" {

DplInstance DPLCreateLibrary(void) { std::abort(); }
void DPLReleaseLibrary(DplInstance) { std::abort(); }
DplHandle DPLDAOpenFile(DplInstance, const DplChar16*, const DplChar16*) { std::abort(); }
void DPLDACloseFile(DplInstance, DplHandle) { std::abort(); }
int32_t DPLDAGetPageCount(DplInstance, DplHandle) { std::abort(); }
DplHandle DPLDAFindPage(DplInstance, DplHandle, int32_t) { std::abort(); }
double DPLDAGetPageWidth(DplInstance, DplHandle, DplHandle) { std::abort(); }
double DPLDAGetPageHeight(DplInstance, DplHandle, DplHandle) { std::abort(); }
int32_t DPLDAPageRotation(DplInstance, DplHandle, DplHandle) { std::abort(); }
int32_t DPLLastErrorCode(DplInstance) { std::abort(); }
const DplChar16* DPLLastRenderError(DplInstance) { std::abort(); }
int32_t DPLStringResultLength(DplInstance) { std::abort(); }

}  // extern "C"
