#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "audio/uTags.h"
#include "comum/uFilaPrincipal.h"

namespace ljsn {

// Reads the tags of the item that starts playing on a worker, so a 16 MiB
// tag on a slow disk never holds up the tick. Only the latest request
// matters: a request made while another is being read replaces any waiting
// one, and the answer for an older file is dropped. Main thread only.
class TLeitorTags {
  public:
    using TResposta = std::function<void(const std::string& AArquivo, const TTagsAudio& ATags)>;

    TLeitorTags(TFilaPrincipal& AFila, TResposta AResposta);
    // Stops the worker after the file being read, if any.
    ~TLeitorTags();
    TLeitorTags(const TLeitorTags&) = delete;
    TLeitorTags& operator=(const TLeitorTags&) = delete;

    void Pedir(const std::string& AArquivo);
    // The file whose tags are wanted now (empty: none).
    const std::string& Atual() const { return FAtual; }
    void Esquecer() { FAtual.clear(); }

  private:
    void Trabalhar(std::stop_token AParar);

    TFilaPrincipal& FFila;
    TResposta FResposta;
    std::string FAtual;
    std::shared_ptr<TLeitorTags*> FVivo = std::make_shared<TLeitorTags*>(this);
    std::mutex FTrava;
    std::condition_variable_any FSinal;
    std::optional<std::string> FPendente;  // guarded by FTrava
    std::jthread FTrabalhador;
};

}  // namespace ljsn
