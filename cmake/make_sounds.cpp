// Writes the six sounds of the operator monitor, 0.wav to 5.wav, into the
// folder given as the only argument: 16-bit PCM, mono, 8 kHz, each a few notes
// with soft edges, all well under a second. The same bytes at every build.
//
//   0  a command frame went to a unit        two quick rising notes
//   1  an operator's command was refused     a low double buzz
//   2  an important message                  three rising notes
//   3  an error report                       two falling notes
//   4  a command waits in a unit's buffer    two short high blips
//   5  a unit confirmed a command            a rising arpeggio to the octave

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 8000;

struct Note {
  double hertz;  // 0: silence
  int ms;
  bool buzz = false;  // odd harmonics for a harsher tone
};

std::vector<int16_t> Render(const std::vector<Note>& notes) {
  std::vector<int16_t> samples;
  for (const Note& note : notes) {
    const int count = kRate * note.ms / 1000;
    const int edge = std::min(count / 4, kRate * 8 / 1000);  // 8 ms fade in and out
    for (int i = 0; i < count; ++i) {
      const double t = static_cast<double>(i) / kRate;
      const double phase = 2 * std::numbers::pi * note.hertz * t;
      double value = std::sin(phase);
      if (note.buzz) {
        value = 0.6 * value + 0.3 * std::sin(3 * phase) + 0.1 * std::sin(5 * phase);
      }
      double envelope = 1.0;
      if (i < edge) {
        envelope = static_cast<double>(i) / edge;
      } else if (i >= count - edge) {
        envelope = static_cast<double>(count - 1 - i) / edge;
      }
      const double level = note.hertz > 0 ? 0.5 * envelope * value : 0.0;
      samples.push_back(static_cast<int16_t>(std::lround(level * 32767)));
    }
  }
  return samples;
}

void PutLe(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) {
    out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  }
}

std::string Wav(const std::vector<int16_t>& samples) {
  const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
  std::string out = "RIFF";
  PutLe(out, 36 + dataBytes, 4);
  out += "WAVEfmt ";
  PutLe(out, 16, 4);         // size of the format chunk
  PutLe(out, 1, 2);          // PCM
  PutLe(out, 1, 2);          // mono
  PutLe(out, kRate, 4);      // samples a second
  PutLe(out, kRate * 2, 4);  // bytes a second
  PutLe(out, 2, 2);          // bytes a frame
  PutLe(out, 16, 2);         // bits a sample
  out += "data";
  PutLe(out, dataBytes, 4);
  for (const int16_t sample : samples) {
    PutLe(out, static_cast<uint16_t>(sample), 2);
  }
  return out;
}

const std::vector<std::vector<Note>> kSounds = {
    {{880, 70}, {0, 20}, {1320, 90}},    {{196, 120, true}, {0, 60}, {196, 160, true}},
    {{660, 90}, {880, 90}, {1100, 140}}, {{620, 160, true}, {415, 220, true}},
    {{1500, 40}, {0, 50}, {1500, 40}},   {{523, 80}, {659, 80}, {784, 80}, {1046, 200}},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  for (size_t i = 0; i < kSounds.size(); ++i) {
    const std::filesystem::path file = folder / (std::to_string(i) + ".wav");
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    const std::string bytes = Wav(Render(kSounds[i]));
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      std::fprintf(stderr, "%s: cannot write %s\n", argv[0], file.c_str());
      return 1;
    }
  }
  return 0;
}
