// One short MIDI message as the host delivers it: a sample offset, a status
// byte and two data bytes.
#pragma once

#include <cstdint>

namespace fw {

struct IMidiMsg {
  enum EStatusMsg {
    kNone = 0,
    kNoteOff = 8,
    kNoteOn = 9,
    kPolyAftertouch = 10,
    kControlChange = 11,
    kProgramChange = 12,
    kChannelAftertouch = 13,
    kPitchWheel = 14,
  };

  int mOffset = 0;
  uint8_t mStatus = 0;
  uint8_t mData1 = 0;
  uint8_t mData2 = 0;

  IMidiMsg() = default;
  IMidiMsg(int offset, uint8_t status, uint8_t d1, uint8_t d2)
      : mOffset(offset), mStatus(status), mData1(d1), mData2(d2) {}

  // The high nibble of the status byte; kNone for system messages (0xF0..0xFF).
  EStatusMsg StatusMsg() const {
    const unsigned hi = mStatus >> 4;
    return (hi >= 8 && hi <= 14) ? static_cast<EStatusMsg>(hi) : kNone;
  }
  int Channel() const { return mStatus & 0x0F; }

  static IMidiMsg NoteOn(int channel, int note, int velocity, int offset = 0) {
    return Make(offset, 0x90, channel, note, velocity);
  }
  static IMidiMsg NoteOff(int channel, int note, int offset = 0) {
    return Make(offset, 0x80, channel, note, 0);
  }
  static IMidiMsg ControlChange(int channel, int controller, int value, int offset = 0) {
    return Make(offset, 0xB0, channel, controller, value);
  }
  static IMidiMsg PolyPressure(int channel, int note, int pressure, int offset = 0) {
    return Make(offset, 0xA0, channel, note, pressure);
  }
  static IMidiMsg ChannelPressure(int channel, int pressure, int offset = 0) {
    return Make(offset, 0xD0, channel, pressure, 0);
  }
  // value 0..16383, 8192 is the centre.
  static IMidiMsg PitchBend(int channel, int value, int offset = 0) {
    return Make(offset, 0xE0, channel, value & 0x7F, (value >> 7) & 0x7F);
  }
  static IMidiMsg ProgramChange(int channel, int program, int offset = 0) {
    return Make(offset, 0xC0, channel, program, 0);
  }

private:
  static IMidiMsg Make(int offset, int statusHi, int channel, int d1, int d2) {
    return IMidiMsg(offset, static_cast<uint8_t>(statusHi | (channel & 0x0F)),
                    static_cast<uint8_t>(d1 & 0x7F), static_cast<uint8_t>(d2 & 0x7F));
  }
};

}  // namespace fw
