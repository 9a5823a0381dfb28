// Effect API version the plug-in is written against.
#ifndef _H_AE_EFFECT_VERS
#define _H_AE_EFFECT_VERS

#define PF_PLUG_IN_VERSION 13
#define PF_PLUG_IN_SUBVERS 29

#endif
