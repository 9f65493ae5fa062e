// The exported C functions: each finds its instance, holds it for the call, and turns anything
// thrown inside into a recorded failure. Nothing is thrown across this boundary.

#include <new>
#include <string>

#include "FileFormatsApi.h"
#include "InstanceRegistry.h"

namespace {

using fileformats::InstanceRegistry;
using fileformats::PdfInstance;

template <typename Result, typename Call>
Result WithInstance(DplInstance id, Result failed, Call call) {
  const std::shared_ptr<PdfInstance> instance = InstanceRegistry::Get().Find(id);
  if (!instance) return failed;
  const std::lock_guard lock(instance->Lock());
  try {
    return call(*instance);
  } catch (const std::bad_alloc&) {
    instance->RecordFailure(DPL_ERROR_OUT_OF_MEMORY, "out of memory");
  } catch (const std::exception& error) {
    instance->RecordFailure(DPL_ERROR_RENDER_FAILED, std::string("the renderer failed: ") + error.what());
  } catch (...) {
    instance->RecordFailure(DPL_ERROR_RENDER_FAILED, "the renderer failed");
  }
  return failed;
}

}  // namespace

extern "C" {

DplInstance DPLCreateLibrary(void) {
  try {
    return InstanceRegistry::Get().Create();
  } catch (...) {
    return 0;
  }
}

void DPLReleaseLibrary(DplInstance instance) {
  try {
    InstanceRegistry::Get().Release(instance);
  } catch (...) {
  }
}

DplHandle DPLDAOpenFile(DplInstance instance, const DplChar16* path, const DplChar16* password) {
  return WithInstance(instance, DplHandle{0}, [&](PdfInstance& pdf) { return pdf.OpenFile(path, password); });
}

void DPLDACloseFile(DplInstance instance, DplHandle document) {
  WithInstance(instance, 0, [&](PdfInstance& pdf) {
    pdf.CloseFile(document);
    return 0;
  });
}

int32_t DPLDAGetPageCount(DplInstance instance, DplHandle document) {
  return WithInstance(instance, int32_t{0}, [&](PdfInstance& pdf) { return pdf.PageCount(document); });
}

DplHandle DPLDAFindPage(DplInstance instance, DplHandle document, int32_t pageNumber) {
  return WithInstance(instance, DplHandle{0}, [&](PdfInstance& pdf) { return pdf.FindPage(document, pageNumber); });
}

double DPLDAGetPageWidth(DplInstance instance, DplHandle document, DplHandle page) {
  return WithInstance(instance, 0.0, [&](PdfInstance& pdf) { return pdf.PageWidth(document, page); });
}

double DPLDAGetPageHeight(DplInstance instance, DplHandle document, DplHandle page) {
  return WithInstance(instance, 0.0, [&](PdfInstance& pdf) { return pdf.PageHeight(document, page); });
}

int32_t DPLDAPageRotation(DplInstance instance, DplHandle document, DplHandle page) {
  return WithInstance(instance, int32_t{0}, [&](PdfInstance& pdf) { return pdf.PageRotation(document, page); });
}

int32_t DPLDARenderPageToDC(DplInstance instance, DplHandle document, DplHandle page, double resolution,
                            DplDeviceContext* dc) {
  return WithInstance(instance, int32_t{0}, [&](PdfInstance& pdf) {
    return pdf.RenderPage(document, page, resolution, dc) ? int32_t{1} : int32_t{0};
  });
}

int32_t DPLLastErrorCode(DplInstance instance) {
  return WithInstance(instance, int32_t{DPL_ERROR_BAD_INSTANCE}, [](PdfInstance& pdf) { return pdf.LastErrorCode(); });
}

const DplChar16* DPLLastRenderError(DplInstance instance) {
  static constexpr DplChar16 kUnknownInstance[] = u"unknown or released library instance";
  return WithInstance(instance, static_cast<const DplChar16*>(kUnknownInstance),
                      [](PdfInstance& pdf) { return pdf.LastErrorText(); });
}

int32_t DPLStringResultLength(DplInstance instance) {
  static constexpr int32_t kUnknownInstanceLength = sizeof(u"unknown or released library instance") / 2 - 1;
  return WithInstance(instance, kUnknownInstanceLength, [](PdfInstance& pdf) { return pdf.LastTextLength(); });
}

}  // extern "C"
