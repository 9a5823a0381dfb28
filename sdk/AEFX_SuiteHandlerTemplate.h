// Scoped acquisition of a host suite. When the suite cannot be acquired the
// host is told why (display-error flag and message) and the code 13 is thrown;
// an acquired suite is released when the scoper goes out of scope.
#ifndef _H_AEFX_SUITE_HANDLER_TEMPLATE
#define _H_AEFX_SUITE_HANDLER_TEMPLATE

#ifdef __cplusplus

#include "AE_Effect.h"
#include "AE_EffectCB.h"
#include "SP/SPBasic.h"

template <typename SUITETYPE, bool ALLOW_NO_SUITE = false> class AEFX_SuiteScoper {
public:
    AEFX_SuiteScoper(const PF_InData *in_data, const char *suite_name, int32_t suite_versionL,
                     PF_OutData *out_dataP0 = 0, const char *err_stringZ0 = 0)
        : suite_name_(suite_name), suite_version_(suite_versionL), basic_(in_data->pica_basicP)
    {
        const void *suite = 0;
        const SPErr err = basic_->AcquireSuite(suite_name_, suite_version_, &suite);
        if (err != kSPNoError) {
            suite = 0;
            if (!ALLOW_NO_SUITE) {
                if (out_dataP0) {
                    out_dataP0->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
                    const char *message = err_stringZ0 ? err_stringZ0 : "Not able to acquire AEFX Suite.";
                    if (in_data->utils && in_data->utils->ansi.sprintf) {
                        in_data->utils->ansi.sprintf(out_dataP0->return_msg, "%s", message);
                    }
                }
                A_THROW(A_Err_MISSING_SUITE);
            }
        }
        suite_ = static_cast<const SUITETYPE *>(suite);
    }

    ~AEFX_SuiteScoper()
    {
        if (suite_) {
            basic_->ReleaseSuite(suite_name_, suite_version_);
        }
    }

    AEFX_SuiteScoper(const AEFX_SuiteScoper &) = delete;
    AEFX_SuiteScoper &operator=(const AEFX_SuiteScoper &) = delete;

    const SUITETYPE *operator->() const { return suite_; }
    const SUITETYPE *get() const { return suite_; }

private:
    const char *suite_name_;
    int32_t suite_version_;
    const SPBasicSuite *basic_;
    const SUITETYPE *suite_ = 0;
};

#endif

#endif
