#include "detect/tone_filter_bank.h"

namespace detect {

// Local copy of a bank's state for the length of one run of samples.
struct ToneFilterBank::Lanes {
    alignas(32) double c[kLanes];
    alignas(32) double s1[kLanes];
    alignas(32) double s2[kLanes];

    explicit Lanes(const ToneFilterBank& bank) {
        std::memcpy(c, bank.m_coef, sizeof c);
        std::memcpy(s1, bank.m_s1, sizeof s1);
        std::memcpy(s2, bank.m_s2, sizeof s2);
    }

    void StoreTo(ToneFilterBank& bank) const {
        std::memcpy(bank.m_s1, s1, sizeof s1);
        std::memcpy(bank.m_s2, s2, sizeof s2);
    }

    void Step(double x) {
        for (int j = 0; j < kLanes; ++j) {
            double s0 = c[j] * s1[j] - s2[j] + x;
            s2[j] = s1[j];
            s1[j] = s0;
        }
    }
};

void ToneFilterBank::StepSamples(ToneFilterBank& a, const double* x, int n) {
    Lanes la(a);
    for (int i = 0; i < n; ++i) la.Step(x[i]);
    la.StoreTo(a);
}

void ToneFilterBank::StepSamples(ToneFilterBank& a, ToneFilterBank& b, const double* x, int n) {
    Lanes la(a);
    Lanes lb(b);
    for (int i = 0; i < n; ++i) {
        la.Step(x[i]);
        lb.Step(x[i]);
    }
    la.StoreTo(a);
    lb.StoreTo(b);
}

}  // namespace detect
