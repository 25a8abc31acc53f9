#include "detect/tone_filter_bank.h"

namespace detect {

void ToneFilterBank::StepSamples(ToneFilterBank& a, const double* x, int n) {
    StepFrom(a, n, [&x] { return *x++; });
}

void ToneFilterBank::StepSamples(ToneFilterBank& a, ToneFilterBank& b, const double* x, int n) {
    StepFrom(a, b, n, [&x] { return *x++; });
}

}  // namespace detect
