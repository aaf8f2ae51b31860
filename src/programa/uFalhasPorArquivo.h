#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

namespace ljsn {

// Lets the error line about one file through at most once per interval: a
// folder of files that never open must not fill the log ten times a second.
// Main thread.
class TFalhasPorArquivo {
  public:
    static constexpr std::uint32_t kIntervaloMs = 3600u * 1000u;
    // Files remembered at most; the oldest are forgotten first.
    static constexpr std::size_t kMaxArquivos = 4096;

    // True when AArquivo's error should be logged now (and notes it).
    bool Registrar(const std::string& AArquivo, std::uint32_t ATique);

  private:
    std::unordered_map<std::string, std::uint32_t> FUltima;
};

}  // namespace ljsn
