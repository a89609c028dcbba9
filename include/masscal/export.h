/* Export and calling-convention macros of libmasscal. */
#ifndef MASSCAL_EXPORT_H
#define MASSCAL_EXPORT_H

#if defined(__GNUC__)
#define MASSCAL_API __attribute__((visibility("default")))
#else
#define MASSCAL_API
#endif

#ifdef __cplusplus
#define MASSCAL_EXTERN_C extern "C"
#define MASSCAL_BEGIN_C extern "C" {
#define MASSCAL_END_C }
#else
#define MASSCAL_EXTERN_C
#define MASSCAL_BEGIN_C
#define MASSCAL_END_C
#endif

#endif
