/* Public interface of the Vestrel resampling engine (libvestrel.so).
 *
 * The program loads the library at run time and binds these functions by name. Only plain
 * values cross: 8-bit zero-terminated paths, integers, doubles, caller-owned text buffers
 * that the engine fills, and a progress function that the engine calls synchronously on
 * the calling thread. Results: 1 success, 0 failure (with a message in errorText).
 * The engine keeps process-wide state: calls must never overlap. */
#ifndef VESTREL_VESTREL_H
#define VESTREL_VESTREL_H

#if defined(__GNUC__)
#define VESTREL_EXPORT __attribute__((visibility("default")))
#else
#define VESTREL_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Receives the percentage reached (0..100); its result is ignored. May be null. */
typedef int (*ProgressCallback)(int);

/* Size of the caller's outputPath buffer, which the engine overwrites with its working
 * file name. */
#define VESTREL_OUTPUT_PATH_SIZE 260

/* Size of the caller's errorText buffer; the engine never writes more (longer messages are
 * cut, always zero-terminated). */
#define VESTREL_ERROR_TEXT_SIZE 4096

/* Stores the band height (output rows per band) and the placement references
 * (0 left/top, 1 centred, 2 right/bottom) for the following calls. */
VESTREL_EXPORT void SetParams(int lineBuffers, int xReference, int yReference);

/* Descreens, resamples and rescreens a 1-bit TIFF. Resolutions in dpi, scales in percent
 * (100 = unchanged), margins in millimetres. outputPath holds the final destination on
 * entry and the working file name on return (VESTREL_OUTPUT_PATH_SIZE bytes); errorText
 * (VESTREL_ERROR_TEXT_SIZE bytes) receives the message. */
VESTREL_EXPORT int ResamleTIFF(const char* inputPath, char* outputPath, int keepSize,
                               int keepResolution, double resolutionX, double resolutionY,
                               double scaleX, double scaleY, double topMargin,
                               double bottomMargin, double leftMargin, double rightMargin,
                               char* errorText, ProgressCallback progress, int mergeBackground,
                               const char* backgroundPath);

/* Vertical reduction by dropping rows; the two integer arguments are ignored. */
VESTREL_EXPORT int SimpleResamleTIFF(const char* inputPath, const char* outputPath,
                                     int reserved1, int reserved2, double scalePercent);

/* Dot-gain correction of a 1-bit TIFF with the tone curve of separationName. Buffers as
 * for ResamleTIFF. */
VESTREL_EXPORT int DotGainTIFF(const char* inputPath, const char* separationName,
                               char* outputPath, char* errorText, ProgressCallback progress);

#ifdef __cplusplus
}
#endif

#endif /* VESTREL_VESTREL_H */
