// One entry of data sent from the audio thread to an editor control.
#pragma once

#include <array>

namespace fw {

template <int MAXNC = 1, typename T = float>
struct ISenderData {
  int ctrlTag = -1;
  int nChans = MAXNC;
  int chanOffset = 0;
  std::array<T, MAXNC> vals{};
};

}  // namespace fw
