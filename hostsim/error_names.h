// SDK names of the error codes an effect returns, for messages.
#pragma once

#include <string>

#include "AE_Effect.h"

namespace prismora::hostsim {

// "PF_Err_BAD_CALLBACK_PARAM" for 516 and so on; "unknown error" otherwise.
std::string SdkErrorName(PF_Err err);

} // namespace prismora::hostsim
