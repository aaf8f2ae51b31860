#pragma once

#include <memory>
#include <string>
#include <thread>

#include <httplib.h>

namespace ljsn::teste {

// A real HTTP server on 127.0.0.1 with a free port, for the outside services
// the program talks to. Routes are registered on Servidor() before Iniciar.
class TServidorFixtures {
  public:
    TServidorFixtures();
    ~TServidorFixtures();

    httplib::Server& Servidor() { return FServidor; }
    // Binds, starts serving on its own thread and returns once it listens.
    void Iniciar();
    int Porta() const { return FPorta; }
    std::string Url(const std::string& ACaminho) const;

  private:
    httplib::Server FServidor;
    std::thread FThread;
    int FPorta = 0;
};

// A socket that listens on 127.0.0.1 but never accepts nor answers: the
// connection succeeds and the request then waits for ever.
class TServidorMudo {
  public:
    TServidorMudo();
    ~TServidorMudo();
    int Porta() const { return FPorta; }

  private:
    int FSocket = -1;
    int FPorta = 0;
};

// A port on 127.0.0.1 nobody listens on right now (bound, then released).
int PortaLivre();

// The contents of a file under tests/fixtures.
std::string LerFixture(const std::string& ANome);

}  // namespace ljsn::teste
