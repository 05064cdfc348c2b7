// The renderer's command line: defaults, accepted values and refusals.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "tools/vrelbazzit-render/CommandLine.h"

namespace vbrender {
namespace {

CommandLineResult Parse(std::vector<std::string> args) {
  args.insert(args.begin(), "vrelbazzit-render");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  return ParseCommandLine(static_cast<int>(argv.size()), argv.data());
}

TEST(ParseCommandLine, Defaults) {
  const CommandLineResult r = Parse({"in.mid", "out.wav"});
  ASSERT_EQ(r.kind, CommandLineResult::kRun) << r.text;
  const RenderOptions& o = r.options;
  EXPECT_EQ(o.input, "in.mid");
  EXPECT_EQ(o.output, "out.wav");
  EXPECT_EQ(o.rate, 48000);
  EXPECT_EQ(o.block, 512);
  EXPECT_EQ(o.tempo, 120.0);
  EXPECT_FALSE(o.seed.has_value());
  EXPECT_TRUE(o.params.empty());
  EXPECT_FALSE(o.length.has_value());
  EXPECT_EQ(o.format, SampleFormat::Pcm24);
  EXPECT_FALSE(o.quiet);
  EXPECT_EQ(o.eventTiming, EventTiming::Sample) << "each event at its own sample unless asked";
  EXPECT_TRUE(o.automate.empty());
}

TEST(ParseCommandLine, EveryOption) {
  const CommandLineResult r =
      Parse({"--rate", "44100", "--block", "64", "--tempo", "87.5", "--seed", "0x1F", "--param", "Attack=5",
             "--param=Voice Mode=Poly", "--length", "2.25", "--format", "float", "--quiet", "--event-timing", "block",
             "--automate", "Amp Level=0:70,1:0", "--automate=Cutoff=0.5:20", "in.mid", "out.wav"});
  ASSERT_EQ(r.kind, CommandLineResult::kRun) << r.text;
  const RenderOptions& o = r.options;
  EXPECT_EQ(o.input, "in.mid");
  EXPECT_EQ(o.output, "out.wav");
  EXPECT_EQ(o.rate, 44100);
  EXPECT_EQ(o.block, 64);
  EXPECT_EQ(o.tempo, 87.5);
  EXPECT_EQ(o.seed, 31u);
  EXPECT_EQ(o.params, (std::vector<std::string>{"Attack=5", "Voice Mode=Poly"}));
  EXPECT_EQ(o.length, 2.25);
  EXPECT_EQ(o.format, SampleFormat::Float32);
  EXPECT_TRUE(o.quiet);
  EXPECT_EQ(o.eventTiming, EventTiming::Block);
  EXPECT_EQ(o.automate, (std::vector<std::string>{"Amp Level=0:70,1:0", "Cutoff=0.5:20"}));
}

// A --param right before the positionals must take one value only.
TEST(ParseCommandLine, ParamTakesOneValueEach) {
  const CommandLineResult r = Parse({"--param", "Attack=5", "in.mid", "out.wav"});
  ASSERT_EQ(r.kind, CommandLineResult::kRun) << r.text;
  EXPECT_EQ(r.options.params, std::vector<std::string>{"Attack=5"});
  EXPECT_EQ(r.options.input, "in.mid");
  EXPECT_EQ(r.options.output, "out.wav");
}

TEST(ParseCommandLine, OptionValuesAtAndPastTheirLimits) {
  struct Case {
    std::vector<std::string> options;
    bool ok;
  };
  const Case cases[] = {
      {{"--rate", "8000"}, true},      {{"--rate", "384000"}, true},   {{"--rate", "7999"}, false},
      {{"--rate", "384001"}, false},   {{"--rate", "48k"}, false},     {{"--rate", "44100.5"}, false},
      {{"--block", "1"}, true},        {{"--block", "8192"}, true},    {{"--block", "0"}, false},
      {{"--block", "8193"}, false},    {{"--block", "-4"}, false},
      {{"--tempo", "0.5"}, true},      {{"--tempo", "999"}, true},     {{"--tempo", "0"}, false},
      {{"--tempo", "-120"}, false},    {{"--tempo", "nan"}, false},    {{"--tempo", "inf"}, false},
      {{"--tempo", "fast"}, false},
      {{"--length", "0.001"}, true},   {{"--length", "86400"}, true},  {{"--length", "0"}, false},
      {{"--length", "-1"}, false},     {{"--length", "86401"}, false}, {{"--length", "nan"}, false},
      {{"--format", "16"}, true},      {{"--format", "double"}, true}, {{"--format", "32"}, false},
      {{"--format", "FLOAT"}, false},
      {{"--seed", "0"}, true},         {{"--seed", "18446744073709551615"}, true},
      {{"--seed", "0xFFFFFFFFFFFFFFFF"}, true},
      {{"--seed", "18446744073709551616"}, false},
      {{"--seed", "0x10000000000000000"}, false},
      {{"--seed", "-1"}, false},       {{"--seed", "0x"}, false},      {{"--seed", "12abc"}, false},
      {{"--seed", ""}, false},         {{"--seed", " 5"}, false},
      {{"--event-timing", "sample"}, true}, {{"--event-timing", "block"}, true},
      {{"--event-timing", "frame"}, false}, {{"--event-timing", "Block"}, false},
      {{"--bogus"}, false},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.options;
    args.push_back("in.mid");
    args.push_back("out.wav");
    const CommandLineResult r = Parse(args);
    std::string name;
    for (const std::string& a : c.options) name += a + " ";
    EXPECT_EQ(r.kind == CommandLineResult::kRun, c.ok) << name << "-> " << r.text;
    if (!c.ok) {
      EXPECT_EQ(r.kind, CommandLineResult::kError) << name;
      EXPECT_FALSE(r.text.empty()) << name;
      EXPECT_EQ(r.text.find('\n'), std::string::npos) << name << "-> " << r.text;
    }
  }
}

TEST(ParseCommandLine, SeedValues) {
  struct Case {
    const char* text;
    uint64_t value;
  };
  const Case cases[] = {{"0", 0},
                        {"42", 42},
                        {"0x2a", 42},
                        {"0X2A", 42},
                        {"010", 10},  // decimal, never octal
                        {"18446744073709551615", std::numeric_limits<uint64_t>::max()}};
  for (const Case& c : cases) {
    uint64_t v = 1234;
    ASSERT_TRUE(ParseSeed(c.text, v)) << c.text;
    EXPECT_EQ(v, c.value) << c.text;
  }
}

TEST(ParseCommandLine, PositionalsRequiredAndCounted) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {"in.mid"}, {"in.mid", "out.wav", "extra"}}) {
    const CommandLineResult r = Parse(args);
    EXPECT_EQ(r.kind, CommandLineResult::kError) << args.size() << " positionals";
    EXPECT_EQ(r.text.find('\n'), std::string::npos) << r.text;
  }
}

TEST(ParseCommandLine, SoundOptions) {
  const CommandLineResult none = Parse({"in.mid", "out.wav"});
  ASSERT_EQ(none.kind, CommandLineResult::kRun) << none.text;
  EXPECT_FALSE(none.options.patch || none.options.factory || none.options.savePatch);

  const CommandLineResult both = Parse({"--factory", "Glass Keys", "--save-patch", "p.vbpatch", "in.mid", "out.wav"});
  ASSERT_EQ(both.kind, CommandLineResult::kRun) << both.text;
  EXPECT_EQ(both.options.factory, "Glass Keys");
  EXPECT_EQ(both.options.savePatch, "p.vbpatch");
  EXPECT_FALSE(both.options.patch.has_value());

  const CommandLineResult file = Parse({"--patch=my.vbpatch", "in.mid", "out.wav"});
  ASSERT_EQ(file.kind, CommandLineResult::kRun) << file.text;
  EXPECT_EQ(file.options.patch, "my.vbpatch");

  // One starting sound: a patch file and a factory patch exclude each other.
  const CommandLineResult clash = Parse({"--patch", "a.vbpatch", "--factory", "3", "in.mid", "out.wav"});
  EXPECT_EQ(clash.kind, CommandLineResult::kError);
  EXPECT_NE(clash.text.find("--factory"), std::string::npos) << clash.text;
  EXPECT_EQ(clash.text.find('\n'), std::string::npos) << clash.text;
}

TEST(ParseCommandLine, HelpListsTheOptions) {
  const CommandLineResult r = Parse({"--help"});
  ASSERT_EQ(r.kind, CommandLineResult::kHelp);
  for (const char* option : {"--rate", "--block", "--tempo", "--seed", "--param", "--length", "--format", "--quiet",
                             "--patch", "--factory", "--save-patch", "--automate", "--event-timing"})
    EXPECT_NE(r.text.find(option), std::string::npos) << option;
}

}  // namespace
}  // namespace vbrender
