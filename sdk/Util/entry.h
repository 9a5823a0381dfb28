// Export decoration of the plug-in's entry point.
#ifndef _H_ENTRY
#define _H_ENTRY

#include "AEConfig.h"

#ifdef AE_OS_WIN
#define DllExport __declspec(dllexport)
#else
#define DllExport __attribute__((visibility("default")))
#endif

#define AE_ENTRY_POINT "EffectMain"

#endif
