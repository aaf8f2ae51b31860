#include "apoio/uServidorFixtures.h"

#include <stdexcept>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "apoio/uPastaTemporaria.h"

namespace ljsn::teste {

TServidorFixtures::TServidorFixtures() = default;

TServidorFixtures::~TServidorFixtures() {
    FServidor.stop();
    if (FThread.joinable()) {
        FThread.join();
    }
}

void TServidorFixtures::Iniciar() {
    FPorta = FServidor.bind_to_any_port("127.0.0.1");
    if (FPorta <= 0) {
        throw std::runtime_error("servidor de fixtures nao abriu porta");
    }
    FThread = std::thread([this] { FServidor.listen_after_bind(); });
    // bind_to_any_port already listens: connections queue until the loop accepts them.
}

std::string TServidorFixtures::Url(const std::string& ACaminho) const {
    return "http://127.0.0.1:" + std::to_string(FPorta) + ACaminho;
}

TServidorMudo::TServidorMudo() {
    FSocket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in endereco{};
    endereco.sin_family = AF_INET;
    endereco.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    endereco.sin_port = 0;
    if (FSocket < 0 ||
        ::bind(FSocket, reinterpret_cast<sockaddr*>(&endereco), sizeof endereco) != 0 ||
        ::listen(FSocket, 8) != 0) {
        throw std::runtime_error("servidor mudo nao abriu");
    }
    socklen_t tamanho = sizeof endereco;
    ::getsockname(FSocket, reinterpret_cast<sockaddr*>(&endereco), &tamanho);
    FPorta = ntohs(endereco.sin_port);
}

TServidorMudo::~TServidorMudo() {
    if (FSocket >= 0) {
        ::close(FSocket);
    }
}

int PortaLivre() {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in e{};
    e.sin_family = AF_INET;
    e.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof e;
    if (s < 0 || ::bind(s, reinterpret_cast<sockaddr*>(&e), sizeof e) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&e), &n) != 0) {
        throw std::runtime_error("sem porta livre");
    }
    ::close(s);
    return ntohs(e.sin_port);
}

std::string LerFixture(const std::string& ANome) {
    return LerArquivo(std::string(LJSN_FIXTURES) + "/" + ANome);
}

}  // namespace ljsn::teste
