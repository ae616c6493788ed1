/*
 * VX_API: the one export macro of the Veltrix libraries.
 *
 * It marks every function of a library's interface, the C functions of the
 * public headers and the base and time services the libraries call from
 * each other alike. The build of a library defines VX_BUILDING_LIBRARY; a
 * host that includes a header does not.
 *  - Windows: dllexport while a library is built, dllimport in a host.
 *  - ELF: default visibility on both sides. The libraries are compiled with
 *    hidden visibility, so only what VX_API marks reaches their dynamic
 *    symbol tables; a host that hides its own declarations (a visibility
 *    pragma around the include) still binds to the libraries' functions.
 */
#ifndef VELTRIX_EXPORT_H
#define VELTRIX_EXPORT_H

#if defined(_WIN32)
#if defined(VX_BUILDING_LIBRARY)
#define VX_API __declspec(dllexport)
#else
#define VX_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define VX_API __attribute__((visibility("default")))
#else
#define VX_API
#endif

#endif /* VELTRIX_EXPORT_H */
