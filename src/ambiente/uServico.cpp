#include "ambiente/uServico.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "comum/uTexto.h"

namespace ljsn {

namespace {

std::string Variavel(const char* ANome) {
    // NOLINTNEXTLINE(concurrency-mt-unsafe): nothing here changes the environment
    const char* v = std::getenv(ANome);
    return v != nullptr ? std::string(v) : std::string();
}

}  // namespace

bool NotificarServico(const std::string& AEstado) {
    const std::string caminho = Variavel("NOTIFY_SOCKET");
    if (caminho.empty() || caminho.size() >= sizeof(sockaddr_un::sun_path)) {
        return false;
    }
    sockaddr_un endereco{};
    endereco.sun_family = AF_UNIX;
    std::memcpy(endereco.sun_path, caminho.data(), caminho.size());
    if (endereco.sun_path[0] == '@') {
        endereco.sun_path[0] = '\0';  // an abstract socket
    }
    const int s = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) {
        return false;
    }
    const auto tamanho = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + caminho.size());
    const bool ok = ::sendto(s,
                             AEstado.data(),
                             AEstado.size(),
                             MSG_NOSIGNAL,
                             reinterpret_cast<const sockaddr*>(&endereco),
                             tamanho) == static_cast<ssize_t>(AEstado.size());
    ::close(s);
    return ok;
}

int IntervaloWatchdogMs() {
    const std::string pid = Variavel("WATCHDOG_PID");
    if (!pid.empty() && LerInteiroOu(pid, -1) != static_cast<int>(::getpid())) {
        return 0;
    }
    const long long usec = std::atoll(Variavel("WATCHDOG_USEC").c_str());
    if (usec <= 0) {
        return 0;
    }
    // Twice per period, so one late tick never trips it.
    return static_cast<int>(std::max<long long>(1, usec / 2000));
}

}  // namespace ljsn
