#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace ljsn {

// The loudness analyser: a table of measured loudness per file, a queue of
// files to measure on a low-priority worker thread, and the cache
// "volumes.ini" that keeps the table across runs. Locking: every helper that
// touches FMedidas, FFila or FAlterado takes the held lock as a parameter;
// measuring and file access never run under it.
class TVolumeAuto {
  public:
    // Called on the worker after each measurement it made.
    using TAoMedir = std::function<void(const std::string& AArquivo, double ALoudness)>;

    // Loads the cache and starts the worker. AMedir is the measurement (the
    // real one by default; tests pass a slower or counting one).
    explicit TVolumeAuto(std::function<double(const std::string&)> AMedir = nullptr,
                         TAoMedir AAoMedir = nullptr);
    // Stops the worker (waiting for a measurement under way), then saves.
    ~TVolumeAuto();
    TVolumeAuto(const TVolumeAuto&) = delete;
    TVolumeAuto& operator=(const TVolumeAuto&) = delete;

    // Main thread. Queues, in order, the files neither measured nor queued.
    void Analisar(const std::vector<std::string>& AArquivos);
    // Main thread. Moves a file not yet measured to the front of the queue.
    void Priorizar(const std::string& AArquivo);
    // Main thread. The stored loudness; measured now when there is none
    // (tools only: this reads the whole file).
    double Loudness(const std::string& AArquivo);
    // Any thread. The stored loudness, if any: never reads the file.
    std::optional<double> Medida(const std::string& AArquivo);
    // Any thread.
    bool JaAnalisado(const std::string& AArquivo);
    std::size_t Pendentes();
    // Writes the table when it changed; errors leave it to be tried again.
    void SalvarCache();

  private:
    using TTrava = std::unique_lock<std::mutex>;

    void CarregarCache();
    void Trabalhar();
    // Measures a file, keeping the signature it had before (a file replaced
    // meanwhile is then measured again on the next run).
    double Medir(const std::string& AArquivo);
    void RetirarDaFila(const TTrava& ATrava, const std::string& AArquivo);

    struct TMedida {
        double Valor = -999;
        std::string Assinatura;
    };

    std::function<double(const std::string&)> FMedir;
    const TAoMedir FAoMedir;
    std::mutex FTravaArquivo;  // one save at a time; taken before FTrava
    std::mutex FTrava;
    std::unordered_map<std::string, TMedida> FMedidas;  // guarded by FTrava
    std::deque<std::string> FFila;                      // guarded by FTrava
    bool FAlterado = false;                             // guarded by FTrava
    bool FSinalizado = false;                           // guarded by FTrava: the auto-reset event
    bool FEncerrar = false;                             // guarded by FTrava
    std::condition_variable FSinal;
    std::string FArquivoCache;
    std::thread FThread;
};

// The file's signature in the cache: size (low 32 bits), then the last-write
// time as a count of 100 ns since 1601 (high and low 32 bits), each a signed
// decimal: "5242880.31158210.-1532549120". Empty when it cannot be read.
std::string AssinaturaArquivo(const std::string& ACaminho);

// Reference minus loudness in dB, limited to -15..+10; 0 when either is unknown.
double AjusteVolumeDb(double AReferencia, double ALoudness);
// 10^(dB/20).
double DbParaFator(double ADb);

}  // namespace ljsn
