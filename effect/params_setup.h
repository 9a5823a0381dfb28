// Declares the effect's 29 parameters to the host.
#pragma once

#include "AE_Effect.h"

namespace prismora {

// Adds parameters 1 to 29 in order through in_data's add_param and reports 30
// parameters (the input layer included). A failing add_param stops the
// declaration and its code is returned with num_params left as it was.
PF_Err ParamsSetup(PF_InData *in_data, PF_OutData *out_data);

} // namespace prismora
