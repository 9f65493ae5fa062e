/* The interface of libFileFormats.so, the PDF library that the data source loads at run time
 * from its own folder, and the drawing surface both sides share.
 *
 * Every function has C linkage and is looked up by name. The first argument of every call but
 * DPLCreateLibrary is the instance id DPLCreateLibrary returned. Document and page handles are
 * opaque numbers valid only with the instance that issued them; 0 means none. A handle that is
 * unknown (never issued, closed, or of another document) is refused with an error code, never
 * followed. Calls on one instance are serialised by the library.
 *
 * Errors: a call that fails returns its failure value (0 or 0.0) and records a code
 * (DPL_ERROR_...) and a text naming what failed and, where there is one, the file; a call that
 * succeeds records DPL_OK and an empty text. DPLLastErrorCode and DPLLastRenderError read the
 * record without changing it.
 */
#ifndef VELLORAN_FILE_FORMATS_API_H
#define VELLORAN_FILE_FORMATS_API_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Drawing surface: a device-independent bitmap selected into a memory device context ---- */

/* The 40-byte bitmap information header in host byte order. A negative height means the rows
 * are stored top-down. */
typedef struct DplBitmapInfoHeader {
  uint32_t size; /* sizeof(DplBitmapInfoHeader) */
  int32_t width;
  int32_t height;
  uint16_t planes;   /* 1 */
  uint16_t bitCount; /* 24 or 32 */
  uint32_t compression; /* DPL_BI_RGB */
  uint32_t sizeImage;   /* stride x rows */
  int32_t xPelsPerMeter;
  int32_t yPelsPerMeter;
  uint32_t clrUsed;
  uint32_t clrImportant;
} DplBitmapInfoHeader;

#define DPL_BI_RGB 0u

/* A bitmap section: its header and its pixel rows. Pixels are blue, green, red (and a fourth,
 * unused byte at 32 bits); each row is `stride` bytes, a multiple of 4. */
typedef struct DplBitmap {
  DplBitmapInfoHeader header;
  uint8_t* bits;
  size_t stride;
  size_t bytes; /* stride x rows: the size of the buffer at `bits` */
} DplBitmap;

/* A memory device context: what is drawn into it lands in the selected bitmap. */
typedef struct DplDeviceContext {
  uint32_t size; /* sizeof(DplDeviceContext): tells a context from anything else */
  DplBitmap* selected; /* NULL when no bitmap is selected */
} DplDeviceContext;

/* ---- Library functions ---- */

#if defined(__cplusplus)
typedef char16_t DplChar16;
#else
typedef uint16_t DplChar16;
#endif

typedef int32_t DplInstance; /* > 0 when valid */
typedef uintptr_t DplHandle; /* document or page, 0 = none */

enum DplErrorCode {
  DPL_OK = 0,
  DPL_ERROR_BAD_INSTANCE = 1,       /* unknown or released instance id */
  DPL_ERROR_BAD_ARGUMENT = 2,       /* a null pointer, text that is not UTF-16, a resolution out of range */
  DPL_ERROR_FILE_UNREADABLE = 3,    /* the file does not exist or cannot be read */
  DPL_ERROR_DAMAGED = 4,            /* not a PDF document, or one too damaged to read */
  DPL_ERROR_PASSWORD = 5,           /* the document is locked: a password is needed, or the one given is wrong */
  DPL_ERROR_BAD_DOCUMENT = 6,       /* unknown document handle */
  DPL_ERROR_NO_SUCH_PAGE = 7,       /* page number outside 1..page count */
  DPL_ERROR_BAD_PAGE = 8,           /* unknown page handle, or one of another document */
  DPL_ERROR_BAD_DEVICE_CONTEXT = 9, /* not a device context, no bitmap selected, or a bitmap we cannot draw into */
  DPL_ERROR_RENDER_FAILED = 10,     /* the renderer produced no picture */
  DPL_ERROR_OUT_OF_MEMORY = 11
};

#if defined(DPL_BUILDING_LIBRARY)
#define DPL_API __attribute__((visibility("default")))
#else
#define DPL_API
#endif

/* A new instance id (> 0), or 0 when none can be made. */
DPL_API DplInstance DPLCreateLibrary(void);
/* Closes every document of the instance; the id is invalid afterwards. */
DPL_API void DPLReleaseLibrary(DplInstance instance);

/* Opens a document. `path` and `password` are NUL-terminated UTF-16; an empty password opens
 * documents that need none. A file name that is not UTF-8 passes its other bytes b (0x80..0xFF)
 * as lone surrogates U+DC00 + b, each standing for that byte. Returns the document handle, 0 on failure (DPL_ERROR_PASSWORD for a
 * locked document). */
DPL_API DplHandle DPLDAOpenFile(DplInstance instance, const DplChar16* path, const DplChar16* password);
DPL_API void DPLDACloseFile(DplInstance instance, DplHandle document);
/* The number of pages, 0 on failure. */
DPL_API int32_t DPLDAGetPageCount(DplInstance instance, DplHandle document);
/* The page `pageNumber` (counted from 1); 0 on failure. Asking for the same page again returns
 * the same handle. */
DPL_API DplHandle DPLDAFindPage(DplInstance instance, DplHandle document, int32_t pageNumber);
/* The page's size in points (1/72 inch) before its rotation is applied; 0.0 on failure. */
DPL_API double DPLDAGetPageWidth(DplInstance instance, DplHandle document, DplHandle page);
DPL_API double DPLDAGetPageHeight(DplInstance instance, DplHandle document, DplHandle page);
/* The page's rotation in degrees clockwise: 0, 90, 180 or 270 (0 on failure). */
DPL_API int32_t DPLDAPageRotation(DplInstance instance, DplHandle document, DplHandle page);
/* Draws the page, rotated as it asks to be shown, at `resolution` dots per inch into the bitmap
 * selected in `dc`, from its top-left corner: white paper, the picture clipped to the bitmap.
 * Returns non-zero on success. The instance keeps the renderer's last picture until the next
 * page is drawn or the instance is released, so that the next page reuses its memory. */
DPL_API int32_t DPLDARenderPageToDC(DplInstance instance, DplHandle document, DplHandle page, double resolution,
                                    DplDeviceContext* dc);

/* The code of the last call on the instance (DPL_ERROR_BAD_INSTANCE for an unknown id). */
DPL_API int32_t DPLLastErrorCode(DplInstance instance);
/* The text of the last call's failure (empty after a success); NUL-terminated UTF-16 owned by
 * the instance, valid until the next call that records a result (every call but these three).
 * Its length is what DPLStringResultLength says. */
DPL_API const DplChar16* DPLLastRenderError(DplInstance instance);
/* The length in characters of the text DPLLastRenderError returned last. */
DPL_API int32_t DPLStringResultLength(DplInstance instance);

#ifdef __cplusplus
}
#endif

#endif /* VELLORAN_FILE_FORMATS_API_H */
