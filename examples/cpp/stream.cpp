// Streams raw 16-bit PCM from standard input through a liborvane session with the C++ classes,
// printing the partial result whenever it changes and the final result at the end.
//
//   c++ -std=c++17 stream.cpp -o stream $(pkg-config --cflags --libs orvane)
//   arecord -f S16_LE -r 16000 -c 1 -t raw | ./stream 16000
#include <orvane/pipeline.h>
#include <orvane/session.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  const float rate = argc > 1 ? std::strtof(argv[1], nullptr) : 16000.0f;
  std::unique_ptr<orvane::Pipeline> pipeline = orvane::Pipeline::FromPreset("transcribe");
  if (!pipeline) return 1;
  std::unique_ptr<orvane::Session> session = pipeline->NewSession(rate);
  if (!session) {
    std::cerr << "unusable sample rate\n";
    return 2;
  }

  std::vector<short> block(static_cast<size_t>(rate / 10) + 1);  // about 100 ms
  std::string last;
  size_t got;
  while ((got = std::fread(block.data(), sizeof(short), block.size(), stdin)) > 0) {
    session->AcceptWaveformS16(block.data(), static_cast<int>(got));
    std::string partial = session->Partial();
    if (partial != last) {
      std::cout << partial << '\n' << std::flush;
      last = std::move(partial);
    }
  }
  std::cout << session->Final() << '\n';
  return 0;
}
