// Platform detection for the effect headers. Mirrors the After Effects SDK's
// AEConfig.h, and also recognises plain Linux, where the project builds and
// tests the plug-in against the simulated host.
#ifndef _H_AE_CONFIG
#define _H_AE_CONFIG

#if defined(_WIN32)
#define AE_OS_WIN
#elif defined(__APPLE__)
#define AE_OS_MAC
#else
#define AE_OS_LINUX
#endif

#if defined(_M_X64) || defined(__x86_64__)
#define AE_PROC_INTELx64
#elif defined(_M_ARM64) || defined(__aarch64__)
#define AE_PROC_ARM64
#endif

#endif
