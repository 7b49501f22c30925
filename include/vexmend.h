/*
 * vexmend: repair of damaged MXF video files.
 *
 * The whole public interface of the library. All texts are NUL-terminated
 * UTF-8 strings owned by the caller; the library copies what it needs and
 * keeps no pointer to them after a call returns. Calls should not overlap;
 * when they do, the second one waits until the first has returned.
 */
#ifndef VEXMEND_H
#define VEXMEND_H

#include <stdint.h>

#if defined(_WIN32)
#if defined(VEXMEND_BUILDING)
#define VEXMEND_API __declspec(dllexport)
#else
#define VEXMEND_API __declspec(dllimport)
#endif
#else
#define VEXMEND_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Result codes. No other value is returned. */
#define VEXMEND_OK 0                      /* success */
#define VEXMEND_NO_MANAGER (-1)           /* a repair was asked for before QorMxfInit */
#define VEXMEND_INIT_FAILED (-2050)       /* the log or the repair engine could not be made */
#define VEXMEND_NO_INPUT (-2051)          /* general repair: input names no file */
#define VEXMEND_REPAIR_DIR_FAILED (-2052) /* general repair: work folder unusable */
#define VEXMEND_NO_OUTPUT (-2054)         /* general repair: the encoder failed or wrote nothing */
#define VEXMEND_MISSING_PATH (-2055)      /* advance repair: damaged or sample path null */
#define VEXMEND_ADVANCE_FAILED (-2056)    /* advance repair: scan failed or no result */

/*
 * Creates the library's repair manager on the first call and (re)initialises
 * it: the log file "QorVideoRepair.log" goes to logFolder (the host program's
 * folder when it is null or missing), repair output folders go under
 * workFolder (a per-user temporary folder when it is null or cannot be made).
 * A folder text that is not valid UTF-8 counts as a folder that does not exist.
 * `reserved` is ignored. Returns VEXMEND_OK or VEXMEND_INIT_FAILED.
 */
VEXMEND_API int32_t QorMxfInit(const char* logFolder, intptr_t reserved, const char* workFolder);

/* Closes the engine's open files. The library stays usable afterwards. */
VEXMEND_API void QorMxfDestroy(void);

/*
 * General repair: the encoder "ffmpeg.exe" beside the host executable reads
 * inputPath as MXF and rewraps every video and audio stream with stream copy
 * into outputPath. VEXMEND_OK only when the encoder succeeded; the output
 * is replaced only by a complete result, and a failed repair leaves it as it
 * was. An outputPath that is the input (by any name), or an
 * input inside the work folder's repair folders, is refused before the
 * encoder runs. Returns VEXMEND_OK,
 * VEXMEND_NO_MANAGER, VEXMEND_NO_INPUT, VEXMEND_REPAIR_DIR_FAILED or
 * VEXMEND_NO_OUTPUT.
 */
VEXMEND_API int32_t QorMxfGeneralRepair(const char* inputPath, const char* outputPath);

/*
 * Advance repair: scans damagedPath for picture and sound essence elements and
 * has the encoder wrap them again, with the audio coding and frame rate learnt
 * from samplePath, a healthy file from the same device. Both inputs must be
 * regular files outside the work folder's repair folders, and the result must
 * not replace either of them. As for the general repair, the output is
 * replaced only by a complete result. Returns VEXMEND_OK,
 * VEXMEND_NO_MANAGER, VEXMEND_MISSING_PATH or VEXMEND_ADVANCE_FAILED.
 */
VEXMEND_API int32_t QorMxfAdvanceRepair(const char* damagedPath, const char* samplePath,
                                        const char* outputPath);

#ifdef __cplusplus
}
#endif

#endif /* VEXMEND_H */
