// The output chain's filter bank: eight trapezoidal band-passes on one input,
// their states kept band by band in arrays so a kernel can run the bands in
// vector lanes.
#pragma once

#include "Svf.h"

namespace vrelbazzit::dsp {

struct FilterBank {
  static constexpr int kBands = 8;
  alignas(64) double a1[kBands] = {}, a2[kBands] = {}, a3[kBands] = {};
  alignas(64) double ic1[kBands] = {}, ic2[kBands] = {};

  // g = tan(pi f / S); k = 1 / Q, as Svf::Design.
  void Design(int band, double g, double k) {
    Svf f;
    f.Design(g, k);
    a1[band] = f.a1;
    a2[band] = f.a2;
    a3[band] = f.a3;
  }

  void ClearState() {
    for (int b = 0; b < kBands; ++b) ic1[b] = ic2[b] = 0.0;
  }

  bool Silent() const {
    bool silent = true;
    for (int b = 0; b < kBands; ++b) silent = silent && ic1[b] == 0.0 && ic2[b] == 0.0;
    return silent;
  }
};

// n samples of the bank: out[i] is the sum over the bands, in band order, of
// each band-pass output times its gain and then its weight.
inline void PlainFilterBank(FilterBank& bank, const double* x, const double* gains, const double* weights,
                            double* out, int n) {
  for (int i = 0; i < n; ++i) {
    double sum = 0.0;
    for (int b = 0; b < FilterBank::kBands; ++b) {
      const Svf::Output o = Svf::Step(bank.a1[b], bank.a2[b], bank.a3[b], bank.ic1[b], bank.ic2[b], x[i]);
      sum += o.bp * gains[b] * weights[b];
    }
    out[i] = sum;
  }
}

}  // namespace vrelbazzit::dsp
