// Writes the demo MIDI file: four and a half bars at 120 BPM in 4/4 (9 s), a
// melody with a pitch bend on its long note and pedalled chords under it, all
// on channel 1. The content is fixed in this file, so every run writes the
// same bytes.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "SmfWriter.h"

namespace {

constexpr int kPpqn = 480;
constexpr int kBeat = kPpqn;
constexpr int kBar = 4 * kBeat;
constexpr int kEnd = 4 * kBar + 2 * kBeat;  // bar 5, beat 3: 9 s at 120 BPM

struct Event {
  int tick;
  int order;  // at the same tick: note offs, then controllers, then note ons
  std::vector<unsigned char> bytes;
};

class TrackBuilder {
public:
  void NoteOff(int tick, int note) { Add(tick, 0, {0x80, Byte(note), 0x40}); }
  void NoteOn(int tick, int note, int velocity) { Add(tick, 2, {0x90, Byte(note), Byte(velocity)}); }
  void Note(int tick, int length, int note, int velocity) {
    NoteOn(tick, note, velocity);
    NoteOff(tick + length, note);
  }
  void Control(int tick, int controller, int value) { Add(tick, 1, {0xB0, Byte(controller), Byte(value)}); }
  void PitchBend(int tick, int value) {
    Add(tick, 1, {0xE0, Byte(value & 0x7F), Byte((value >> 7) & 0x7F)});
  }
  void Meta(int tick, std::vector<unsigned char> bytes) { Add(tick, 1, std::move(bytes)); }
  void Name(const std::string& name) {
    std::vector<unsigned char> bytes = {0xFF, 0x03, Byte(static_cast<int>(name.size()))};
    bytes.insert(bytes.end(), name.begin(), name.end());
    Meta(0, bytes);
  }

  // The events in time order, stable within a tick, then the end of track.
  vbrender::SmfTrack Track() {
    std::stable_sort(mEvents.begin(), mEvents.end(), [](const Event& a, const Event& b) {
      return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
    });
    vbrender::SmfTrack track;
    for (Event& e : mEvents) track.events.push_back({e.tick, e.bytes});
    track.endTick = kEnd;
    return track;
  }

private:
  static unsigned char Byte(int v) { return static_cast<unsigned char>(v); }
  void Add(int tick, int order, std::vector<unsigned char> bytes) {
    mEvents.push_back({tick, order, std::move(bytes)});
  }
  std::vector<Event> mEvents;
};

void Conductor(TrackBuilder& t) {
  t.Name("Vrel Bazzit demo");
  t.Meta(0, {0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20});  // 500000 us per quarter: 120 BPM
  t.Meta(0, {0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08});  // 4/4
}

void Melody(TrackBuilder& t) {
  t.Name("Melody");
  struct N { int beatEighths, lengthEighths, note, velocity; };
  // Positions and lengths in eighth notes from the start.
  const N notes[] = {
      {0, 2, 69, 100}, {2, 1, 72, 90},  {3, 1, 76, 96}, {4, 2, 74, 92},  {6, 2, 72, 88},   // bar 1
      {8, 3, 71, 96},  {11, 1, 72, 84}, {12, 4, 74, 104},                                  // bar 2
      {16, 1, 76, 98}, {17, 1, 74, 86}, {18, 1, 72, 90}, {19, 1, 71, 84}, {20, 2, 69, 96},  // bar 3
      {22, 2, 67, 88},
      {24, 8, 69, 100},                                                                     // bar 4
  };
  const int eighth = kBeat / 2;
  for (const N& n : notes) t.Note(n.beatEighths * eighth, n.lengthEighths * eighth - 10, n.note, n.velocity);

  // The half note of bar 2 bends up over one beat and back over the next.
  const int bendStart = kBar + 2 * kBeat;
  const int steps = 16;
  for (int i = 1; i <= steps; ++i) {
    t.PitchBend(bendStart + i * kBeat / steps, 8192 + 4095 * i / steps);
    t.PitchBend(bendStart + kBeat + i * kBeat / steps, 8192 + 4095 * (steps - i) / steps);
  }
}

void Chords(TrackBuilder& t) {
  t.Name("Chords");
  struct C { int startBeat, beats; std::vector<int> notes; };
  const C chords[] = {
      {0, 4, {57, 60, 64}},          // A minor
      {4, 4, {53, 57, 60}},          // F major
      {8, 2, {55, 60, 64}},          // C major
      {10, 2, {55, 59, 62}},         // G major
      {12, 6, {45, 57, 60, 64}},     // A minor, held into bar 5
  };
  for (const C& c : chords) {
    const int start = c.startBeat * kBeat;
    // Pedal up at the change, down again just after the new chord sounds.
    if (start > 0) t.Control(start, 64, 0);
    t.Control(start + kBeat / 8, 64, 127);
    for (int note : c.notes) t.Note(start, kBeat, note, 72);  // the pedal holds them
  }
  t.Control(kEnd, 64, 0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vrelbazzit-make-demo-midi OUTPUT.mid\n");
    return 2;
  }
  TrackBuilder conductor, melody, chords;
  Conductor(conductor);
  Melody(melody);
  Chords(chords);
  if (!vbrender::WriteSmfFile(argv[1], kPpqn, {conductor.Track(), melody.Track(), chords.Track()})) {
    std::fprintf(stderr, "vrelbazzit-make-demo-midi: cannot write \"%s\"\n", argv[1]);
    return 1;
  }
  return 0;
}
