#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

namespace ljsn::teste {

// A child process with its standard output on a pipe we can read line by
// line; reading a line the program prints is how tests wait for it.
class TProcesso {
  public:
    explicit TProcesso(const std::vector<std::string>& AArgs,
                       const std::vector<std::string>& AAmbiente = {});
    ~TProcesso();
    TProcesso(const TProcesso&) = delete;
    TProcesso& operator=(const TProcesso&) = delete;

    // The next line of standard output without its line break; empty at the end.
    std::string LerLinha();
    // The first line from now that contains ATrecho; empty at the end.
    std::string LerAte(const std::string& ATrecho);
    void Sinalizar(int ASinal);
    pid_t Pid() const { return FPid; }
    // Waits for the exit; the exit status, or 128 + signal.
    int Esperar();

  private:
    pid_t FPid = -1;
    int FSaida = -1;
    std::string FBuffer;
    bool FTerminou = false;
    bool FFimSaida = false;
    int FEstado = 0;
};

// The live processes of a process group (a zombie has ended already; only its
// parent, or the system's init, can still reap it).
int ProcessosVivosNoGrupo(pid_t AGrupo);
// A killed process takes a moment to finish exiting (a browser unmaps a lot
// of memory): true once no live process is left in the group, false after
// ASegundos.
bool EsperarGrupoVazio(pid_t AGrupo, int ASegundos);

}  // namespace ljsn::teste
