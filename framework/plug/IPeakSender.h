// Level meter sender: the audio thread measures the mean absolute level of each
// channel over fixed windows and queues one entry per window; the main thread
// drains the queue and hands the entries to the editor. Lock-free, one writer
// and one reader.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>

#include "ISenderData.h"
#include "SpscQueue.h"

namespace fw {

template <int MAXNC = 1, int QUEUE_SIZE = 64>
class IPeakSender {
public:
  using Data = ISenderData<MAXNC, float>;

  // threshold in dB: an entry is queued while this window or the previous one
  // is louder. windowSizeMs: the measuring window.
  explicit IPeakSender(double thresholdDb = -90.0, double windowSizeMs = 5.0)
      : mThreshold(static_cast<float>(std::pow(10.0, thresholdDb / 20.0))),
        mWindowSizeMs(windowSizeMs) {
    Reset(48000.0);
  }

  // Main thread, processing off: sets the window for the sample rate (whole
  // samples, the fraction dropped) and clears the running sums.
  void Reset(double sampleRate) {
    mWindowSize = static_cast<int>(mWindowSizeMs * 0.001 * sampleRate);
    if (mWindowSize < 1) mWindowSize = 1;
    mCount = 0;
    mSums.fill(0.0f);
  }

  // Audio thread: feeds one block of nChans channels starting at chanOffset.
  void ProcessBlock(double** inputs, int nFrames, int ctrlTag, int nChans = MAXNC, int chanOffset = 0) {
    if (nChans > MAXNC) nChans = MAXNC;
    for (int s = 0; s < nFrames;) {
      // The frames up to the end of the window, summed channel by channel in
      // a local (the same additions in the same order as frame by frame).
      const int frames = std::min(nFrames - s, std::max(1, mWindowSize - mCount));
      for (int c = 0; c < nChans; ++c) {
        const double* in = inputs[chanOffset + c] + s;
        float sum = mSums[c];
        for (int i = 0; i < frames; ++i) sum += static_cast<float>(std::fabs(in[i]));
        mSums[c] = sum;
      }
      s += frames;
      mCount += frames;
      if (mCount >= mWindowSize) {
        Data d;
        d.ctrlTag = ctrlTag;
        d.nChans = nChans;
        d.chanOffset = chanOffset;
        float sum = 0.0f;
        for (int c = 0; c < nChans; ++c) {
          d.vals[c] = mSums[c] / static_cast<float>(mWindowSize);
          sum += d.vals[c];
        }
        if (sum > mThreshold || mPreviousSum > mThreshold) mQueue.Push(d);  // a full queue drops it
        mPreviousSum = sum;
        mCount = 0;
        mSums.fill(0.0f);
      }
    }
  }

  // Main thread: takes every waiting entry out in order and hands it to the
  // sink, as an update message of sizeof(Data) bytes. Keeps the last one sent.
  template <typename Sink>
  void TransmitData(Sink&& sink) {
    Data d;
    while (mQueue.Pop(d)) {
      sink(d);
      mLastData = d;
    }
  }

  const Data& LastData() const { return mLastData; }
  int WindowSize() const { return mWindowSize; }
  float Threshold() const { return mThreshold; }

private:
  float mThreshold;
  double mWindowSizeMs;
  int mWindowSize = 240;
  int mCount = 0;
  float mPreviousSum = 1.0f;  // so the first window after construction is always sent
  std::array<float, MAXNC> mSums{};
  SpscQueue<Data, QUEUE_SIZE> mQueue;
  Data mLastData;
};

}  // namespace fw
