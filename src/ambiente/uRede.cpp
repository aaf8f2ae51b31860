#include "ambiente/uRede.h"

#include <array>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include <arpa/inet.h>
#include <curl/curl.h>
#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "comum/uTexto.h"

namespace ljsn {

namespace {

struct TLiberarCurl {
    void operator()(CURL* ACurl) const { curl_easy_cleanup(ACurl); }
};
struct TLiberarLista {
    void operator()(curl_slist* ALista) const { curl_slist_free_all(ALista); }
};

std::size_t Receber(char* ADados, std::size_t ATamanho, std::size_t AQuantos, void* AUsuario) {
    auto* corpo = static_cast<std::string*>(AUsuario);
    const std::size_t n = ATamanho * AQuantos;
    // A feed or forecast is a few hundred kilobytes; anything far larger is
    // not what was asked for and must not exhaust memory.
    if (corpo->size() + n > kMaxCorpoBaixado) {
        return 0;  // aborts the transfer
    }
    corpo->append(ADados, n);
    return n;
}

int Progresso(void* AUsuario, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* parar = static_cast<const std::stop_token*>(AUsuario);
    return parar->stop_requested() ? 1 : 0;
}

void IniciarCurl() {
    static std::once_flag uma;
    std::call_once(uma, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

std::string BaixarTexto(std::string_view AUrl,
                        std::string_view AAgente,
                        const TOpcoesBaixar& AOpcoes) {
    if (AOpcoes.Parar.stop_requested()) {
        return {};
    }
    IniciarCurl();
    std::unique_ptr<CURL, TLiberarCurl> curl(curl_easy_init());
    if (!curl) {
        return {};
    }
    const std::string url(AUrl);
    const std::string agente(AAgente);
    std::string corpo;
    curl_slist* bruta = curl_slist_append(nullptr, "Cache-Control: no-cache");
    bruta = curl_slist_append(bruta, "Pragma: no-cache");
    std::unique_ptr<curl_slist, TLiberarLista> cabecalhos(bruta);
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_USERAGENT, agente.c_str());
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, cabecalhos.get());
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, 5000L);
    // No data for 5 s (fewer than 1 byte/s) ends the transfer.
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, 5L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &Receber);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &corpo);
    curl_easy_setopt(c, CURLOPT_TIMEOUT, static_cast<long>(AOpcoes.LimiteTotalSegundos));
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &Progresso);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &AOpcoes.Parar);
    if (curl_easy_perform(c) != CURLE_OK) {
        return {};
    }
    return GarantirUtf8(corpo);
}

std::string CodificarURL(std::string_view ATexto) {
    static constexpr std::string_view kHex = "0123456789ABCDEF";
    std::string r;
    r.reserve(ATexto.size() * 3);
    for (const char ch : ATexto) {
        const auto b = static_cast<unsigned char>(ch);
        const bool livre = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') ||
                           (b >= '0' && b <= '9') || b == '-' || b == '.' || b == '_' || b == '~';
        if (livre) {
            r += ch;
        } else {
            r += '%';
            r += kHex[b >> 4];
            r += kHex[b & 0x0F];
        }
    }
    return r;
}

std::string IPsLocais() {
    std::vector<std::string> enderecos;
    ifaddrs* lista = nullptr;
    if (::getifaddrs(&lista) == 0) {
        for (const ifaddrs* i = lista; i != nullptr; i = i->ifa_next) {
            if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET) {
                continue;
            }
            sockaddr_in endereco{};
            std::memcpy(&endereco, i->ifa_addr, sizeof endereco);
            if ((ntohl(endereco.sin_addr.s_addr) >> 24) == 127) {
                continue;
            }
            std::array<char, INET_ADDRSTRLEN> texto{};
            if (::inet_ntop(AF_INET, &endereco.sin_addr, texto.data(), texto.size()) != nullptr) {
                enderecos.emplace_back(texto.data());
            }
        }
        ::freeifaddrs(lista);
    }
    return Juntar(enderecos, ", ");
}

std::string IPLocalPrincipal() {
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (s < 0) {
        return {};
    }
    std::string r;
    sockaddr_in destino{};
    destino.sin_family = AF_INET;
    destino.sin_port = htons(53);
    ::inet_pton(AF_INET, "8.8.8.8", &destino.sin_addr);
    if (::connect(s, reinterpret_cast<const sockaddr*>(&destino), sizeof destino) == 0) {
        sockaddr_in local{};
        socklen_t tamanho = sizeof local;
        if (::getsockname(s, reinterpret_cast<sockaddr*>(&local), &tamanho) == 0 &&
            local.sin_addr.s_addr != htonl(INADDR_ANY)) {
            std::array<char, INET_ADDRSTRLEN> texto{};
            if (::inet_ntop(AF_INET, &local.sin_addr, texto.data(), texto.size()) != nullptr) {
                r = texto.data();
            }
        }
    }
    ::close(s);
    return r;
}

}  // namespace ljsn
