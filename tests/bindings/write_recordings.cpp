// Writes synthesized performances as CSV files (one reading of ten numbers per line) for the tests
// of the bindings: heart-1.csv, heart-2.csv, down-1.csv and signature-1.csv to signature-3.csv, by
// a user the default model was never trained on. Usage: write_recordings <directory>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <string>

#include "synth/MotionSynth.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: write_recordings <directory>\n");
    return 2;
  }
  const GestalSynth::User user = GestalSynth::makeUser(505);
  const struct {
    const char* name;
    GestalSynth::Shape shape;
    uint64_t repetition;
  } performances[] = {{"heart-1", GestalSynth::Shape::Heart, 1},
                      {"heart-2", GestalSynth::Shape::Heart, 2},
                      {"down-1", GestalSynth::Shape::SwipeDown, 1},
                      {"signature-1", GestalSynth::Shape::Signature, 1},
                      {"signature-2", GestalSynth::Shape::Signature, 2},
                      {"signature-3", GestalSynth::Shape::Signature, 3}};
  for (const auto& p : performances) {
    std::ofstream out(std::string(argv[1]) + "/" + p.name + ".csv");
    for (const auto& reading : GestalSynth::perform(user, p.shape, p.repetition)) {
      std::string line;
      for (float value : reading) {
        char number[32];
        line.append(number, std::to_chars(number, number + sizeof number, value).ptr);
        line += ',';
      }
      line.back() = '\n';
      out << line;
    }
    if (!out) {
      std::fprintf(stderr, "write_recordings: cannot write %s/%s.csv\n", argv[1], p.name);
      return 1;
    }
  }
  return 0;
}
