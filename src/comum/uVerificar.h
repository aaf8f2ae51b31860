#pragma once

#include <functional>
#include <string>
#include <thread>

namespace ljsn {

// Reports a broken invariant. Aborts when built with LJSN_ASSERT_FATAL (debug
// and tests); otherwise hands the text to the registered reporter (the log, once
// the environment layer has installed it) and returns true so the caller runs
// its fallback. Not for the audio thread.
bool FalhaDeInvariante(const char* ACondicao, const char* AArquivo, int ALinha);

// The environment layer installs the log here; comum itself cannot log.
void DefinirRelatorDeFalhas(std::function<void(const std::string&)> ARelator);

// Debug and test builds stop at a broken invariant; release builds log it as
// "ERRO" and run the fallback, because the shop's sound must go on. (The
// place comes from __FILE__ and __LINE__: the clang of the fuzz builds has
// no std::source_location yet.)
#define VERIFICAR_OU(cond) \
    if (!static_cast<bool>(cond) && ::ljsn::FalhaDeInvariante(#cond, __FILE__, __LINE__))

// Remembers the creating thread; public calls check against it.
class TDonoThread {
  public:
    bool NaThreadDona() const { return std::this_thread::get_id() == FDono; }
    // For objects created on one thread and handed to another before first use.
    void Adotar() { FDono = std::this_thread::get_id(); }

  private:
    std::thread::id FDono = std::this_thread::get_id();
};

}  // namespace ljsn
