#pragma once

#include <mutex>
#include <string>

#include <sys/types.h>

namespace ljsn::teste {

// A read-only FUSE mirror of a folder whose opens and reads the test holds
// back or slows down, file by file: media on a share that stalls or crawls.
// Names are relative to the mount's root ("Musicas/faixa 1.mp3"); "*" stands
// for every file. Every read and stat reaches the helper (no page cache, no
// attribute cache), so a rule bites on a second read of the same bytes too;
// names stay cached, so a file removed from the source while mounted still
// shows in lookups and fails its stat and open with ENOENT. An open counts in
// Aberturas as it starts, even while it is held.
class TArmazenamentoLento {
  public:
    // Mounts AOrigem on APontoMontagem (made when missing) and waits up to
    // 20 s for the mount to answer; Montado() and Erro() tell how it went.
    TArmazenamentoLento(const std::string& AOrigem, const std::string& APontoMontagem);
    // Lifts every rule (held calls go on or fail, never hang), unmounts and
    // waits for the helper; kills it and unmounts lazily when it lingers.
    ~TArmazenamentoLento();
    TArmazenamentoLento(const TArmazenamentoLento&) = delete;
    TArmazenamentoLento& operator=(const TArmazenamentoLento&) = delete;

    // Whether FUSE can be used here (the device, the Python module, a trial
    // mount), with the reason when not. Tried once per process.
    static bool Disponivel(std::string* AMotivo = nullptr);

    bool Montado() const { return FMontado; }
    // Why the mount or the last command failed.
    const std::string& Erro() const { return FErro; }
    // The mount point, with a trailing "/".
    const std::string& Caminho() const { return FPonto; }
    std::string operator/(const std::string& ANome) const { return FPonto + ANome; }

    // Each waits up to 10 s for the helper's answer; false (and Erro()) when
    // it refuses or does not answer.
    bool BloquearAbrir(const std::string& ANome);
    bool BloquearLer(const std::string& ANome);
    // Listing the folder APasta ("." for the root) waits: a share that takes
    // for ever to list a big folder.
    bool BloquearListar(const std::string& APasta);
    // A share that stopped answering: stat, open and read of every file wait;
    // folders still list (with each entry's type) and answer stat, so does
    // the root, statfs answers and handles opened earlier still close. The
    // kernel's first lookup of a file name still answers (a held lookup would
    // hold up listing its folder): a stat of a file never touched before may
    // answer once.
    bool BloquearTudo();
    // ANome's bytes come at ABytesPorSegundo, shared by every handle reading
    // it; with "*" each file gets that rate of its own.
    bool Lento(const std::string& ANome, long long ABytesPorSegundo);
    // Lifts the rules on ANome ("*" lifts only the rules given for "*").
    bool Liberar(const std::string& ANome);
    bool LiberarTudo();
    // Opens of ANome asked for so far, held ones included; -1 on failure.
    int Aberturas(const std::string& ANome);

  private:
    std::string Comando(const std::string& ALinha);
    bool Enviar(const std::string& ALinha);
    // False when no whole line came within AMilissegundos or the helper left.
    bool LerLinha(std::string& ALinha, int AMilissegundos);
    void Encerrar();

    std::mutex FMutex;
    pid_t FPid = -1;
    int FCanal = -1;
    std::string FPonto;
    std::string FBuffer;
    bool FMontado = false;
    std::string FErro;
};

// Whether something is mounted right on APonto (a trailing "/" is ignored).
bool EstaMontado(const std::string& APonto);

}  // namespace ljsn::teste
