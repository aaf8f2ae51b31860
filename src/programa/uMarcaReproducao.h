#pragma once

#include <optional>
#include <string>

namespace ljsn {

// The "playing" marker in the data folder: whether the programme plays, the
// music last started, and whether the last run ended in order. A restart
// after a crash, a watchdog restart or a power cut reads it to resume what
// was on air. Written atomically at each music start and at each stop.
// Main thread.
class TMarcaReproducao {
  public:
    enum class TSituacao { tsParado, tsTocando, tsFechamento };
    struct TEstado {
        TSituacao Situacao = TSituacao::tsParado;
        std::string Musica;
        bool Encerrado = true;  // the run that wrote it ended in order
    };

    static std::string Caminho();
    // The marker as the last run left it; nothing when there is none.
    static std::optional<TEstado> Ler();

    // A music started.
    void Tocando(const std::string& AMusica);
    // Playing stopped; AFechamento: by the closing stop, which ends the day.
    void Parado(bool AFechamento);
    // The orderly end: the next start does not resume.
    void Encerrar();

  private:
    void Gravar();
    TEstado FEstado;
    bool FGravado = false;
};

}  // namespace ljsn
