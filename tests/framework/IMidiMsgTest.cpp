#include "framework/plug/Config.h"
#include "framework/plug/IMidiMsg.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

TEST(IMidiMsg, FactoriesBuildStatusAndDataBytes) {
  struct Case {
    const char* what;
    IMidiMsg msg;
    int status, d1, d2, channel, offset;
    IMidiMsg::EStatusMsg kind;
  } cases[] = {
      {"note on", IMidiMsg::NoteOn(3, 60, 100, 17), 0x93, 60, 100, 3, 17, IMidiMsg::kNoteOn},
      {"note off", IMidiMsg::NoteOff(0, 61), 0x80, 61, 0, 0, 0, IMidiMsg::kNoteOff},
      {"control change", IMidiMsg::ControlChange(15, 1, 64), 0xBF, 1, 64, 15, 0, IMidiMsg::kControlChange},
      {"poly pressure", IMidiMsg::PolyPressure(2, 40, 90), 0xA2, 40, 90, 2, 0, IMidiMsg::kPolyAftertouch},
      {"channel pressure", IMidiMsg::ChannelPressure(1, 77), 0xD1, 77, 0, 1, 0, IMidiMsg::kChannelAftertouch},
      {"program change", IMidiMsg::ProgramChange(4, 5), 0xC4, 5, 0, 4, 0, IMidiMsg::kProgramChange},
      {"pitch bend centre", IMidiMsg::PitchBend(0, 8192), 0xE0, 0, 64, 0, 0, IMidiMsg::kPitchWheel},
      {"pitch bend top", IMidiMsg::PitchBend(0, 16383), 0xE0, 127, 127, 0, 0, IMidiMsg::kPitchWheel},
      {"pitch bend 8193", IMidiMsg::PitchBend(0, 8193), 0xE0, 1, 64, 0, 0, IMidiMsg::kPitchWheel},
      {"channel masked", IMidiMsg::NoteOn(17, 60, 1), 0x91, 60, 1, 1, 0, IMidiMsg::kNoteOn},
      {"data masked", IMidiMsg::ControlChange(0, 130, 200), 0xB0, 2, 72, 0, 0, IMidiMsg::kControlChange},
      {"system message", IMidiMsg(0, 0xF8, 0, 0), 0xF8, 0, 0, 8, 0, IMidiMsg::kNone},
      {"running data byte", IMidiMsg(0, 0x40, 0, 0), 0x40, 0, 0, 0, 0, IMidiMsg::kNone},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.msg.mStatus, c.status) << c.what;
    EXPECT_EQ(c.msg.mData1, c.d1) << c.what;
    EXPECT_EQ(c.msg.mData2, c.d2) << c.what;
    EXPECT_EQ(c.msg.Channel(), c.channel) << c.what;
    EXPECT_EQ(c.msg.mOffset, c.offset) << c.what;
    EXPECT_EQ(c.msg.StatusMsg(), c.kind) << c.what;
  }
}

TEST(FourCC, FirstCharacterInTheMostSignificantByte) {
  EXPECT_EQ(FourCC("ABCD"), 0x41424344);
  EXPECT_EQ(FourCC("\xff" "abc"), static_cast<int>(0xFF616263u));
}

}  // namespace
}  // namespace fw
