// Note handling and voice allocation: Split and Mono drive voice 0 legato,
// Poly gives up to four notes a voice each, with stealing and backfill.
#include <algorithm>

#include "SynthCore.h"

namespace vrelbazzit {

namespace {
constexpr int kFirstPolyVoice = 1;

bool ValidNote(int note) { return note >= 0 && note < SynthCore::kNumNotes; }

double ClampVelocity(double v) { return v > 0.0 ? std::min(v, 1.0) : 0.0; }  // NaN -> 0
}  // namespace

void SynthCore::RefreshNotes() {
  int lowest = -1, highest = -1;
  for (int n = 0; n < kNumNotes; ++n) {
    if (!held[n]) continue;
    if (lowest < 0) lowest = n;
    highest = n;
  }
  if (voiceMode == kPoly) return;

  Voice& v = voices[0];
  if (lowest < 0) {
    v.active = false;  // release; the voice keeps its notes
    return;
  }

  const bool wasActive = v.active;
  v.active = true;
  if (voiceMode == kMono) {
    int latest = lowest;
    for (int n = lowest + 1; n <= highest; ++n)
      if (held[n] && noteStamp[n] > noteStamp[latest]) latest = n;
    v.note1 = v.note2 = latest;
  } else {
    v.note1 = lowest;
    v.note2 = highest;
  }
  v.velocity = (noteVelocity[v.note1] + noteVelocity[v.note2]) / 2.0;
  if (!wasActive) v.pitch1 = v.pitch2 = -1.0;  // a fresh gate jumps; a held one glides
}

void SynthCore::NoteOn(int note, double velocity) {
  if (!ValidNote(note)) return;
  keyDown[note] = held[note] = true;
  notePressure[static_cast<size_t>(note)] = 0.0;
  noteVelocity[note] = ClampVelocity(velocity);
  noteStamp[note] = ++noteCounter;
  RefreshNotes();
  if (voiceMode == kPoly) StartPolyVoice(note, velocity);
}

void SynthCore::NoteOff(int note) {
  if (!ValidNote(note)) return;
  keyDown[note] = false;
  if (sustain) return;  // the pedal keeps it
  held[note] = false;
  notePressure[static_cast<size_t>(note)] = 0.0;
  RefreshNotes();
  if (voiceMode == kPoly) {
    for (int i = kFirstPolyVoice; i < kNumVoices; ++i)
      if (voices[i].note1 == note && voices[i].active) voices[i].active = false;
    BackfillPolyVoices();
  }
}

void SynthCore::SetSustain(bool down) {
  if (down == sustain) return;
  sustain = down;
  if (down) return;

  for (int n = 0; n < kNumNotes; ++n) {
    if (!held[n] || keyDown[n]) continue;
    held[n] = false;
    notePressure[static_cast<size_t>(n)] = 0.0;
    if (voiceMode == kPoly)
      for (int i = kFirstPolyVoice; i < kNumVoices; ++i)
        if (voices[i].active && voices[i].note1 == n) voices[i].active = false;
  }
  RefreshNotes();
  if (voiceMode == kPoly) BackfillPolyVoices();
}

void SynthCore::AllNotesOff() {
  for (int n = 0; n < kNumNotes; ++n) held[n] = keyDown[n] = false;
  notePressure.fill(0.0);
  sustain = false;
  RefreshNotes();
  for (int i = kFirstPolyVoice; i < kNumVoices; ++i) voices[i].active = false;
}

void SynthCore::ResetVoice(int slot) {
  Voice& v = voices[slot];
  if (v.ampLevel > kSilentLevel) {
    declickOffset[slot] += voiceOutput[slot];
    if (declickOffset[slot] != 0.0) mDeclicking = true;
  }
  voiceOutput[slot] = 0.0;
  v = Voice{};
}

void SynthCore::RebuildVoices() {
  for (int i = 0; i < kNumVoices; ++i) ResetVoice(i);
  RefreshNotes();
  if (voiceMode == kPoly)
    for (int n = 0; n < kNumNotes; ++n)
      if (held[n]) StartPolyVoice(n, noteVelocity[n]);
}

void SynthCore::StartPolyVoice(int note, double velocity) {
  int chosen = -1;
  // Retrigger the voice already playing the note.
  for (int i = kFirstPolyVoice; i < kNumVoices && chosen < 0; ++i)
    if (voices[i].note1 == note && voices[i].active) chosen = i;
  // A voice never used.
  for (int i = kFirstPolyVoice; i < kNumVoices && chosen < 0; ++i)
    if (voices[i].note1 == -1) chosen = i;
  // The quietest released voice.
  if (chosen < 0) {
    for (int i = kFirstPolyVoice; i < kNumVoices; ++i) {
      if (voices[i].active) continue;
      if (chosen < 0 || voices[chosen].ampLevel > voices[i].ampLevel) chosen = i;
    }
  }
  // Steal the oldest note; the lower voice on equal stamps.
  if (chosen < 0) {
    chosen = kFirstPolyVoice;
    for (int i = kFirstPolyVoice + 1; i < kNumVoices; ++i)
      if (voices[i].stamp < voices[chosen].stamp) chosen = i;
  }

  ResetVoice(chosen);
  Voice& v = voices[chosen];
  v.note1 = v.note2 = note;
  v.velocity = ClampVelocity(velocity);
  v.stamp = noteStamp[note];
  v.active = true;
}

void SynthCore::BackfillPolyVoices() {
  for (int i = kFirstPolyVoice; i < kNumVoices; ++i) {
    if (voices[i].active) continue;
    int best = -1;
    for (int n = 0; n < kNumNotes; ++n) {
      if (!held[n]) continue;
      bool sounding = false;
      for (int j = kFirstPolyVoice; j < kNumVoices; ++j)
        if (j != i && voices[j].active && voices[j].note1 == n) sounding = true;
      if (sounding) continue;
      if (best < 0 || noteStamp[n] > noteStamp[best]) best = n;
    }
    if (best < 0) return;
    StartPolyVoice(best, noteVelocity[best]);
  }
}

}  // namespace vrelbazzit
